#include "platform/file_descriptor.hpp"
#include "platform/windows/win32.hpp"
#include "../file_descriptor_cases.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

bool is_open_handle(int descriptor)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle_from_descriptor(descriptor), &flags) != 0;
}

int new_event() { return descriptor_from_handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

TEST(WindowsFileDescriptor, ClosesEachHandleExactlyOnceWhateverHappensToTheOwner)
{
    test::expect_each_descriptor_closed_once(new_event, is_open_handle);
}

} // namespace
} // namespace torvane::platform
