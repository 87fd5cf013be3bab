// Descriptors for the FileDescriptor cases, made the system's way: /dev/null opened on Linux, an
// event handle (FileDescriptor holds a handle there) on Windows.
#pragma once

namespace torvane::test {

// A new descriptor that the caller owns, or -1.
int open_descriptor();
// Whether the descriptor is still open.
bool is_open_descriptor(int descriptor);

} // namespace torvane::test
