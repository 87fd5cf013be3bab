#include "platform/memory.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace torvane::platform {
namespace {

bool large_pages_on_request()
{
    std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    return text.find("[always]") != std::string::npos || text.find("[madvise]") != std::string::npos;
}

// The AnonHugePages of the mapping that holds the address, in KiB.
long huge_kib_at(const void* address)
{
    std::ifstream in("/proc/self/smaps");
    const auto wanted = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        std::uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> begin >> dash >> end && dash == '-') {
            inside = begin <= wanted && wanted < end;
            continue;
        }
        if (inside && line.starts_with("AnonHugePages:"))
            return std::stol(line.substr(14));
    }
    return -1;
}

TEST(LargePages, AdvisedBuffersStayZeroedAndUsable)
{
    // Sizes and offsets around the 2 MiB blocks: smaller than one, not aligned, several.
    const std::size_t mib = std::size_t{1} << 20;
    const std::size_t sizes[] = {4096, 2 * mib - 1, 3 * mib + 12345, 9 * mib};
    for (const std::size_t bytes : sizes) {
        auto* buffer = static_cast<unsigned char*>(std::calloc(bytes, 1));
        ASSERT_NE(buffer, nullptr);
        advise_large_pages(buffer, bytes);
        EXPECT_TRUE(std::all_of(buffer, buffer + bytes, [](unsigned char c) { return c == 0; })) << bytes;
        std::memset(buffer, 0xA5, bytes);
        EXPECT_EQ(buffer[bytes - 1], 0xA5) << bytes;
        std::free(buffer);
    }
}

TEST(LargePages, ALargeBufferIsBackedByLargePagesWhereTheSystemOffersThem)
{
    if (!large_pages_on_request())
        GTEST_SKIP() << "the system gives no transparent huge pages on request";
    const std::size_t bytes = std::size_t{16} << 20;
    auto* buffer = static_cast<unsigned char*>(std::calloc(bytes, 1));
    ASSERT_NE(buffer, nullptr);
    advise_large_pages(buffer, bytes);
    std::memset(buffer, 1, bytes);
    // The system may still refuse (fragmented memory), but not for every block of 16 MiB.
    EXPECT_GT(huge_kib_at(buffer + bytes / 2), 0);
    std::free(buffer);
}

} // namespace
} // namespace torvane::platform
