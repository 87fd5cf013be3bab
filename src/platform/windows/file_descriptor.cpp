#include "platform/file_descriptor.hpp"

#include "platform/windows/win32.hpp"

namespace torvane::platform {

bool FileDescriptor::close()
{
    if (fd_ < 0)
        return true;
    return ::CloseHandle(handle_from_descriptor(std::exchange(fd_, -1))) != 0;
}

} // namespace torvane::platform
