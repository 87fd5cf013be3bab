// Processes by the number the system gives them, for names that record which process made a
// file (the temporaries of whole-file writes).
#pragma once

#include <cstdint>

namespace torvane::platform {

// The running process's id: getpid on Linux, GetCurrentProcessId on Windows.
std::uint32_t current_process_id();

// Whether a process of that id runs now, another user's included (Linux: kill with signal 0, which
// a process of another user refuses with EPERM; Windows: OpenProcess, which another user's
// process refuses with ERROR_ACCESS_DENIED, and its exit code). False for 0 and any id that no
// process has.
bool process_running(std::uint32_t id);

} // namespace torvane::platform
