#include "platform/update_lock.hpp"

#include "platform/files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace torvane::platform {

Result<UpdateLock> UpdateLock::acquire(const std::filesystem::path& lock_file)
{
    int fd = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return failure(last_os_error_text());
    UpdateLock lock(fd);
    // flock belongs to the open file, so even a second open inside this process is refused,
    // as an open without sharing would be.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return failure(last_os_error_text());
    }
    return lock;
}

UpdateLock& UpdateLock::operator=(UpdateLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

UpdateLock::~UpdateLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace torvane::platform
