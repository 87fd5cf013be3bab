#include "platform/output_file.hpp"

#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::platform {

namespace {

HANDLE handle_of(const FileDescriptor& fd) { return handle_from_descriptor(fd.get()); }

// The exclusive create that every way of OutputFile::create ends in. FILE_FLAG_OPEN_REPARSE_POINT:
// a link at the name is never followed, and CREATE_NEW fails on it as on anything else there.
UniqueHandle open_new(const std::filesystem::path& path)
{
    return UniqueHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The file at the path, opened itself (never through a link) and emptied, when it is a file on a
// disk that no other name leads to; otherwise the error that kept its name. Ownership is not
// compared: on Windows the file's access list, which the open applies, says who may write it.
Result<UniqueHandle> rewrite_in_place(const std::filesystem::path& path, const std::string& removal_error)
{
    // Shared like any writer, so a viewer that holds the file open for reading keeps it.
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, share_everything, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION data {};
    if (!file.is_open() || ::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file.get(), &data)
        || (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0
        || data.nNumberOfLinks != 1)
        return failure(removal_error);
    // The file pointer stands at 0: the end moves there.
    if (!::SetEndOfFile(file.get()))
        return failure(last_os_error_text());
    return file;
}

} // namespace

Result<OutputFile> OutputFile::create(const std::filesystem::path& path, ExistingFile existing)
{
    // The name is deleted first, a link itself and never its target; CREATE_NEW then makes a new
    // file. A folder at the path stays in place and makes the create fail.
    if (existing != ExistingFile::Refuse) {
        DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES
            && ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
            if (Status removed = remove_file(path); !removed) {
                if (existing != ExistingFile::ReplaceOrRewrite)
                    return failure(removed.error());
                UniqueHandle file = TRY(rewrite_in_place(path, removed.error()));
                return OutputFile(FileDescriptor(descriptor_from_handle(file.release())));
            }
        }
    }
    // A link that appeared at the name since is never followed: the create fails on it.
    UniqueHandle file = open_new(path);
    if (!file.is_open())
        return failure(last_os_error_text());
    return OutputFile(FileDescriptor(descriptor_from_handle(file.release())));
}

Result<std::optional<OutputFile>> OutputFile::create_new(const std::filesystem::path& path)
{
    UniqueHandle file = open_new(path);
    if (!file.is_open()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return std::optional<OutputFile>();
        return failure(os_error_text(static_cast<int>(error)));
    }
    return std::optional<OutputFile>(OutputFile(FileDescriptor(descriptor_from_handle(file.release()))));
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

// close() flushes the file already (see there).
Status OutputFile::sync_and_close() { return close(); }

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
