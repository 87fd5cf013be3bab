#include "platform/file_handle.hpp"

#include "platform/files.hpp"
#include "platform/linux/descriptor_lock.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {

Result<FileHandle> FileHandle::open_for_reading(const fs::path& path, Pin pin)
{
    // O_NONBLOCK keeps a FIFO planted under the name from blocking the open; it is cleared again
    // because regular reads should wait for the disk as usual.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.is_open())
        return failure(last_os_error_text());
    int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return failure(last_os_error_text());
    // A folder opens here but is no file to read: refuse it at the open, as the game's own system
    // does, so callers report it as a file they could not open rather than as a failed read.
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return failure(last_os_error_text());
    if (S_ISDIR(st.st_mode))
        return failure(os_error_text(EISDIR));
    if (pin == Pin::Yes && !lock_without_waiting(fd.get(), LOCK_SH))
        return failure(last_os_error_text());
    return FileHandle(std::move(fd), path);
}

Result<std::size_t> FileHandle::read(std::span<std::uint8_t> buffer)
{
    for (;;) {
        ssize_t got = ::read(fd_.get(), buffer.data(), buffer.size());
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return failure(last_os_error_text());
    }
}

Status remove_file_unless_in_use(const fs::path& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? Status() : Status(failure(last_os_error_text()));
    if (!S_ISLNK(st.st_mode)) {
        FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (fd.is_open()) {
            // Held until the unlink is done, so no one can pin the file in between.
            if (!lock_without_waiting(fd.get(), LOCK_EX))
                return failure(last_os_error_text());
            return remove_file(path);
        }
    }
    return remove_file(path);
}

} // namespace torvane::platform
