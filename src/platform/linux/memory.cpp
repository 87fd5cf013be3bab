#include "platform/memory.hpp"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>

namespace torvane::platform {

void keep_large_buffers_returnable()
{
    (void)::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Smaller buffers that come and go (the glass's small pixmaps and blur rows, every second)
    // keep their memory at the top of the heap instead of giving it back and faulting it in
    // again; release_unused_memory still returns it.
    (void)::mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
}

void release_unused_memory() { (void)::malloc_trim(0); }

void advise_large_pages(void* buffer, std::size_t bytes)
{
    // Transparent huge pages cover whole aligned 2 MiB blocks: only the part of the buffer that
    // holds such blocks is advised.
    constexpr std::uintptr_t block = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer);
    const std::uintptr_t first = (begin + block - 1) & ~(block - 1);
    const std::uintptr_t last = (begin + bytes) & ~(block - 1);
    if (first < last)
        (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace torvane::platform
