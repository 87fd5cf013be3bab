#include "platform/file_descriptor.hpp"

#include "platform/windows/win32.hpp"

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
    return ::CloseHandle(handle_from_descriptor(std::exchange(fd_, -1))) != 0;
}

} // namespace torvane::platform
