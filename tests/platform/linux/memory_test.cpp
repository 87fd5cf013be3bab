#include "platform/memory.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>

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

long minor_faults()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

TEST(HeapMemory, SmallBuffersThatComeAndGoAreNotFaultedInAgain)
{
    // Three buffers below the mapping threshold, touched whole and freed, over and over: after
    // the first round their memory stays with the heap, so later rounds fault nothing in. A heap
    // that gave the top back each time would fault in every page of every round.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator stands in for the C library's heap here";
#endif
    keep_large_buffers_returnable();
    const std::size_t sizes[] = {200 * 1024, 120 * 1024, 240 * 1024};
    auto round = [&] {
        unsigned char* buffers[3];
        for (int i = 0; i < 3; ++i) {
            buffers[i] = static_cast<unsigned char*>(std::calloc(sizes[i], 1));
            ASSERT_NE(buffers[i], nullptr);
            std::memset(buffers[i], i + 1, sizes[i]);
        }
        for (int i = 2; i >= 0; --i)
            std::free(buffers[i]);
    };
    round();
    const long before = minor_faults();
    for (int i = 0; i < 20; ++i)
        round();
    const long pages = static_cast<long>((sizes[0] + sizes[1] + sizes[2]) / 4096);
    EXPECT_LT(minor_faults() - before, pages) << "one round alone touches " << pages << " pages";
    release_unused_memory();
}

} // namespace
} // namespace torvane::platform
