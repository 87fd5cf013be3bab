#include "platform/memory.hpp"

#include <malloc.h>

namespace torvane::platform {

void keep_large_buffers_returnable() { (void)::mallopt(M_MMAP_THRESHOLD, 256 * 1024); }

void release_unused_memory() { (void)::malloc_trim(0); }

} // namespace torvane::platform
