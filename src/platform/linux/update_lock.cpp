#include "platform/update_lock.hpp"

#include "platform/files.hpp"
#include "platform/linux/descriptor_lock.hpp"

#include <fcntl.h>

namespace torvane::platform {

Result<UpdateLock> UpdateLock::acquire(const std::filesystem::path& lock_file)
{
    FileDescriptor fd(::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!fd.is_open())
        return failure(last_os_error_text());
    // flock belongs to the open file, so even a second open inside this process is refused,
    // as an open without sharing would be.
    if (!lock_without_waiting(fd.get(), LOCK_EX))
        return failure(last_os_error_text());
    return UpdateLock(std::move(fd));
}

} // namespace torvane::platform
