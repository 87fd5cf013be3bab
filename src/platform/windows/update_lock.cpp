#include "platform/update_lock.hpp"

#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::platform {

Result<UpdateLock> UpdateLock::acquire(const std::filesystem::path& lock_file)
{
    // No sharing at all: every other open of the file, in this process or another, fails with a
    // sharing violation until this handle closes (at the latest when the process ends).
    UniqueHandle file(::CreateFileW(lock_file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.is_open())
        return failure(last_os_error_text());
    // The link itself was opened; a lock file must never be reached through one.
    FILE_ATTRIBUTE_TAG_INFO tag {};
    if (::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)
        && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return failure(os_error_text(ERROR_CANT_RESOLVE_FILENAME));
    return UpdateLock(FileDescriptor(descriptor_from_handle(file.release())));
}

} // namespace torvane::platform
