#include "platform/output_file.hpp"

#include "platform/files.hpp"
#include "platform/linux/descriptor_write.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {

namespace {

// The exclusive create that every way of OutputFile::create ends in: a new file, never one that
// was at the name or that a link there leads to.
FileDescriptor open_new(const std::filesystem::path& path)
{
    return FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
}

// The file at the path, opened without following a link and emptied, when it is a regular file
// that no other name leads to and that this user owns; otherwise the error that kept its name.
Result<FileDescriptor> rewrite_in_place(const std::filesystem::path& path, int removal_error)
{
    // O_NONBLOCK keeps a FIFO under the name from blocking the open; it is refused below.
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (!fd.is_open() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1
        || st.st_uid != ::geteuid())
        return failure(os_error_text(removal_error));
    if (::ftruncate(fd.get(), 0) != 0)
        return failure(last_os_error_text());
    return fd;
}

} // namespace

Result<OutputFile> OutputFile::create(const std::filesystem::path& path, ExistingFile existing)
{
    // unlink removes a link itself, never its target. A folder stays in place (EISDIR) and makes
    // the exclusive create fail.
    if (existing != ExistingFile::Refuse && ::unlink(path.c_str()) != 0 && errno != ENOENT && errno != EISDIR) {
        int removal_error = errno;
        if (existing != ExistingFile::ReplaceOrRewrite)
            return failure(os_error_text(removal_error));
        return OutputFile(TRY(rewrite_in_place(path, removal_error)));
    }
    // Whatever appeared at the name since the removal makes the create fail (EEXIST).
    FileDescriptor fd = open_new(path);
    if (!fd.is_open())
        return failure(last_os_error_text());
    return OutputFile(std::move(fd));
}

Result<std::optional<OutputFile>> OutputFile::create_new(const std::filesystem::path& path)
{
    FileDescriptor fd = open_new(path);
    if (!fd.is_open()) {
        if (errno == EEXIST)
            return std::optional<OutputFile>();
        return failure(last_os_error_text());
    }
    return std::optional<OutputFile>(OutputFile(std::move(fd)));
}

Status OutputFile::write(std::string_view bytes)
{
    if (!fd_.is_open())
        return failure(os_error_text(EBADF));
    return write_all(fd_.get(), bytes);
}

Status OutputFile::copy_permissions_from(const std::filesystem::path& model)
{
    struct stat info {};
    if (::stat(model.c_str(), &info) != 0)
        return failure(last_os_error_text());
    if (::fchmod(fd_.get(), info.st_mode & 07777) != 0)
        return failure(last_os_error_text());
    return {};
}

Status OutputFile::sync_and_close()
{
    if (fd_.is_open() && ::fsync(fd_.get()) != 0) {
        std::string message = last_os_error_text();
        (void)close();
        return failure(message);
    }
    return close();
}

Status OutputFile::close()
{
    if (!fd_.is_open())
        return failure(os_error_text(EBADF));
    if (!fd_.close())
        return failure(last_os_error_text());
    return {};
}

void OutputFile::start_write_back()
{
    if (fd_.is_open())
        (void)::sync_file_range(fd_.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

Status sync_file_system_of(const std::filesystem::path& path)
{
    return flush_through(path.c_str(), O_NONBLOCK, ::syncfs);
}

Status sync_folder(const std::filesystem::path& folder)
{
    return flush_through(folder.empty() ? "." : folder.c_str(), O_DIRECTORY, ::fsync);
}

} // namespace torvane::platform
