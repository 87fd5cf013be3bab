#include "platform/file_descriptor.hpp"

#include <unistd.h>

namespace torvane::platform {

bool FileDescriptor::close()
{
    if (fd_ < 0)
        return true;
    // Not retried on EINTR: Linux releases the descriptor even then, and a second close could
    // close a descriptor another thread has just been given.
    return ::close(std::exchange(fd_, -1)) == 0;
}

} // namespace torvane::platform
