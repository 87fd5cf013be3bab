#include "platform/file_handle.hpp"

#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::platform {

Result<FileHandle> FileHandle::open_for_reading(const fs::path& path, Pin pin)
{
    // A pinned file is shared for reading only: while the handle is open no one, in this process or
    // another, can write it, rename it or delete it. An open deletion (a handle with delete access)
    // makes the pinning open fail. A folder fails to open as a file (access denied).
    const DWORD share = pin == Pin::Yes ? FILE_SHARE_READ : share_everything;
    HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failure(last_os_error_text());
    return FileHandle(FileDescriptor(descriptor_from_handle(handle)), path);
}

Result<std::size_t> FileHandle::read(std::span<std::uint8_t> buffer)
{
    DWORD got = 0;
    DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    if (!::ReadFile(handle_from_descriptor(fd_.get()), buffer.data(), wanted, &got, nullptr)) {
        if (::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE)
            return 0;
        return failure(last_os_error_text());
    }
    return static_cast<std::size_t>(got);
}

Status remove_file_unless_in_use(const fs::path& path)
{
    // The deletion itself is refused with a sharing violation while a pinning handle (one that does
    // not share deletion) is open anywhere, and it cannot race with a later pin.
    return remove_file(path);
}

} // namespace torvane::platform
