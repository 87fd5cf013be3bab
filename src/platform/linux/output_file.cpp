#include "platform/output_file.hpp"

#include "platform/files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {

Result<OutputFile> OutputFile::create(const std::filesystem::path& path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return failure(last_os_error_text());
    return OutputFile(fd);
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Status OutputFile::write(std::string_view bytes)
{
    if (fd_ < 0)
        return failure(os_error_text(EBADF));
    while (!bytes.empty()) {
        ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return failure(last_os_error_text());
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

Status OutputFile::copy_permissions_from(const std::filesystem::path& model)
{
    struct stat info {};
    if (::stat(model.c_str(), &info) != 0)
        return failure(last_os_error_text());
    if (::fchmod(fd_, info.st_mode & 07777) != 0)
        return failure(last_os_error_text());
    return {};
}

Status OutputFile::sync_and_close()
{
    if (fd_ < 0)
        return failure(os_error_text(EBADF));
    int fd = fd_;
    fd_ = -1;
    if (::fsync(fd) != 0) {
        std::string message = last_os_error_text();
        ::close(fd);
        return failure(message);
    }
    if (::close(fd) != 0)
        return failure(last_os_error_text());
    return {};
}

Status OutputFile::close()
{
    if (fd_ < 0)
        return failure(os_error_text(EBADF));
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return failure(last_os_error_text());
    return {};
}

Status sync_file_system_of(const std::filesystem::path& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failure(last_os_error_text());
    int result = ::syncfs(fd);
    int error = errno;
    ::close(fd);
    if (result != 0)
        return failure(os_error_text(error));
    return {};
}

Status sync_folder(const std::filesystem::path& folder)
{
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return failure(last_os_error_text());
    int result = ::fsync(fd);
    int error = errno;
    ::close(fd);
    if (result != 0)
        return failure(os_error_text(error));
    return {};
}

} // namespace torvane::platform
