#include "platform/memory.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace torvane::platform {
namespace {

TEST(HeapMemory, HeapCallsAreHarmless)
{
    keep_large_buffers_returnable();
    std::vector<std::uint8_t> buffer(4 << 20, 1);
    buffer = {};
    release_unused_memory();
    SUCCEED();
}

} // namespace
} // namespace torvane::platform
