#include "platform/output_file.hpp"

#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::platform {

namespace {

HANDLE handle_of(const FileDescriptor& fd) { return handle_from_descriptor(fd.get()); }

} // namespace

Result<OutputFile> OutputFile::create(const std::filesystem::path& path, ExistingFile existing)
{
    // A folder at the path stays in place and makes the exclusive create fail.
    if (existing == ExistingFile::Replace) {
        DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES
            && ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0))
            TRY(remove_file(path));
    }
    // The link itself is opened, never followed: a link at the path is refused below.
    const DWORD disposition = existing == ExistingFile::Truncate ? OPEN_ALWAYS : CREATE_NEW;
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.is_open())
        return failure(last_os_error_text());
    if (existing == ExistingFile::Truncate) {
        FILE_ATTRIBUTE_TAG_INFO tag {};
        if (::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)
            && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return failure(os_error_text(ERROR_CANT_RESOLVE_FILENAME));
        if (!::SetEndOfFile(file.get()))
            return failure(last_os_error_text());
    }
    return OutputFile(FileDescriptor(descriptor_from_handle(file.release())));
}

Status OutputFile::write(std::string_view bytes)
{
    if (!fd_.is_open())
        return failure(os_error_text(ERROR_INVALID_HANDLE));
    return write_all(handle_of(fd_), bytes);
}

Status OutputFile::copy_permissions_from(const std::filesystem::path& model)
{
    // Windows files carry no execute or group bits; the model must exist all the same.
    if (::GetFileAttributesW(model.c_str()) == INVALID_FILE_ATTRIBUTES)
        return failure(last_os_error_text());
    return {};
}

Status OutputFile::sync_and_close()
{
    if (fd_.is_open() && !::FlushFileBuffers(handle_of(fd_))) {
        std::string message = last_os_error_text();
        (void)fd_.close();
        return failure(message);
    }
    return close();
}

Status OutputFile::close()
{
    if (!fd_.is_open())
        return failure(os_error_text(ERROR_INVALID_HANDLE));
    // Windows has no flush of a whole volume for an ordinary user, so sync_file_system_of cannot
    // reach files closed earlier: each file is flushed here, before its handle goes.
    if (!::FlushFileBuffers(handle_of(fd_))) {
        std::string message = last_os_error_text();
        (void)fd_.close();
        return failure(message);
    }
    if (!fd_.close())
        return failure(last_os_error_text());
    return {};
}

void OutputFile::start_write_back()
{
    // No counterpart on Windows: the cache manager writes back on its own.
}

Status sync_file_system_of(const std::filesystem::path& path)
{
    // Files written through OutputFile are already flushed at close; this flushes the named one
    // again, which costs little and reports a file that is gone.
    return sync_file(path);
}

Status sync_folder(const std::filesystem::path& folder)
{
    // NTFS journals folder entries itself, and a folder handle cannot be flushed by an ordinary
    // user; the folder must exist all the same.
    DWORD attributes = ::GetFileAttributesW(folder.empty() ? L"." : folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return failure(last_os_error_text());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return failure(os_error_text(ERROR_DIRECTORY));
    return {};
}

} // namespace torvane::platform
