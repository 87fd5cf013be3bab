// The single-instance lock of the launcher: one running launcher per user.
#pragma once

namespace torvane::platform {

// Lets go of the process's single-instance lock when it holds one; every later call does nothing.
// Safe to call from any thread, and from a normal exit and a restart racing each other.
void release_instance_mutex();

} // namespace torvane::platform
