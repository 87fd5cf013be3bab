#include "platform/file_descriptor.hpp"

#include <unistd.h>

namespace torvane::platform {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor() { close(); }

bool FileDescriptor::close()
{
    if (fd_ < 0)
        return true;
    // Not retried on EINTR: Linux releases the descriptor even then, and a second close could
    // close a descriptor another thread has just been given.
    return ::close(std::exchange(fd_, -1)) == 0;
}

} // namespace torvane::platform
