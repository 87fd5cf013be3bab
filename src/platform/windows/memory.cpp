#include "platform/memory.hpp"

#include "platform/windows/win32.hpp"

namespace torvane::platform {

// The Windows heap gives every large block its own virtual allocation and frees it on release,
// so there is nothing to set.
void keep_large_buffers_returnable() {}

// Large pages need a privilege that players do not hold; the hint has nothing to do here.
void advise_large_pages(void*, std::size_t) {}

void release_unused_memory() { (void)::HeapCompact(::GetProcessHeap(), 0); }

} // namespace torvane::platform
