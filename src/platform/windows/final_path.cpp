#include "platform/final_path.hpp"

#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

#include <string>

namespace torvane::platform {

Result<std::filesystem::path> final_path(const std::filesystem::path& path)
{
    // No access asked for: only the name is wanted. Backup semantics open folders too.
    UniqueHandle handle(::CreateFileW(path.empty() ? L"." : path.c_str(), 0, share_everything, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.is_open())
        return failure(last_os_error_text());
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetFinalPathNameByHandleW(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return failure(last_os_error_text());
        // A buffer too small gets the length needed, terminating zero included.
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        buffer.resize(length);
    }
}

} // namespace torvane::platform
