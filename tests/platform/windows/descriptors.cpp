#include "../descriptors.hpp"

#include "platform/file_descriptor.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::test {

int open_descriptor() { return platform::descriptor_from_handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

bool is_open_descriptor(int descriptor)
{
    DWORD flags = 0;
    return ::GetHandleInformation(platform::handle_from_descriptor(descriptor), &flags) != 0;
}

} // namespace torvane::test
