// How the process's heap gives memory back to the system.
#pragma once

#include <cstddef>

namespace torvane::platform {

// For a long-running process that allocates and frees large pixel buffers: buffers of 256 KiB and
// more always get their own mapping, which is returned to the system when they are freed (the
// allocator would otherwise raise that threshold after the first free and keep such memory).
// Smaller buffers freed again soon keep their memory for the next ones (up to 1 MiB).
void keep_large_buffers_returnable();

// Returns the free memory the heap still holds to the system.
void release_unused_memory();

// Asks the system to back a large buffer that was just allocated and not yet touched with large
// pages where it can: each first touch then maps megabytes at once instead of 4 KiB. Only a hint;
// nothing changes where the system has no such pages.
void advise_large_pages(void* buffer, std::size_t bytes);

} // namespace torvane::platform
