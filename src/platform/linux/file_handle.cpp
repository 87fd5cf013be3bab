#include "platform/file_handle.hpp"

#include "platform/files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {

Result<FileHandle> FileHandle::open_for_reading(const fs::path& path, Pin pin)
{
    // O_NONBLOCK keeps a FIFO planted under the name from blocking the open; it is cleared again
    // because regular reads should wait for the disk as usual.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failure(last_os_error_text());
    FileHandle handle(fd, path);
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return failure(last_os_error_text());
    if (pin == Pin::Yes) {
        while (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
            if (errno != EINTR)
                return failure(last_os_error_text());
        }
    }
    return handle;
}

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_))
{
    other.fd_ = -1;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

FileHandle::~FileHandle() { close(); }

void FileHandle::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

Result<std::size_t> FileHandle::read(std::span<std::uint8_t> buffer)
{
    for (;;) {
        ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return failure(last_os_error_text());
    }
}

Result<std::size_t> FileHandle::read_full(std::span<std::uint8_t> buffer)
{
    std::size_t total = 0;
    while (total < buffer.size()) {
        std::size_t got = TRY(read(buffer.subspan(total)));
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

Status remove_file_unless_in_use(const fs::path& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? Status() : Status(failure(last_os_error_text()));
    if (!S_ISLNK(st.st_mode)) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd >= 0) {
            // Held until the unlink is done, so no one can pin the file in between.
            int locked;
            while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
            }
            if (locked != 0) {
                std::string message = last_os_error_text();
                ::close(fd);
                return failure(message);
            }
            Status removed = remove_file(path);
            ::close(fd);
            return removed;
        }
    }
    return remove_file(path);
}

} // namespace torvane::platform
