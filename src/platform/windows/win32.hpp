// Small pieces shared by the Windows implementations: the texts of the W functions (to_wide and
// utf8_from_wide of unicode.hpp), an owner for kernel handles, file times, and whole writes
// through a handle.
#pragma once

#include "platform/result.hpp"
#include "platform/unicode.hpp"

#ifndef NOMINMAX
#define NOMINMAX // std::min and std::max, not the macros
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace torvane::platform {

// 100-ns ticks between 0001-01-01 and 1601-01-01, the start of a FILETIME.
inline constexpr std::int64_t file_time_epoch_ticks = 504911232000000000;

inline std::int64_t ticks_from_file_time(const FILETIME& time)
{
    auto intervals = static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return file_time_epoch_ticks + intervals;
}

// A kernel handle as FileDescriptor holds it. Handles carry 32 significant bits, so the
// conversion keeps them whole; INVALID_HANDLE_VALUE becomes -1, which owns nothing.
inline int descriptor_from_handle(HANDLE handle) { return handle ? HandleToLong(handle) : -1; }
inline HANDLE handle_from_descriptor(int descriptor) { return LongToHandle(descriptor); }

// Owns one handle from CreateFileW and the like; closed when the owner goes away.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return handle_; }
    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    void reset()
    {
        if (is_open())
            ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Every share mode: the file stays free to be read, written, renamed and deleted by others.
inline constexpr DWORD share_everything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Writes all bytes, repeating partial writes. Failures carry os_error_text.
Status write_all(HANDLE handle, std::string_view bytes);

// Whether a Win32 error means that the path leads nowhere (a missing file or folder on the way).
inline bool is_missing_path_error(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
           || error == ERROR_DIRECTORY || error == ERROR_BAD_NETPATH;
}

} // namespace torvane::platform
