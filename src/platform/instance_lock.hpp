// The single-instance lock of the launcher: one running launcher per user. It stands for a named
// system-wide mutex: a lock file named after the mutex in the user's runtime folder, locked with
// an exclusive flock that the kernel lets go when the holder dies.
#pragma once

#include <chrono>
#include <string>

namespace torvane::platform {

// The name of the launcher's instance mutex; the lock file is named after it.
inline constexpr char instance_mutex_name[] = "Global\\OrnhaldOnline.Launcher";

// A file-name-safe form of instance_mutex_name with ".lock" appended. The file lives in
// $XDG_RUNTIME_DIR when that is an absolute path, else in /run/user/<uid> when that is a sound
// folder of the user's, else in "torvane-<uid>" under the temporary folder, created with mode 0700.
// A folder that is not a real folder of this user's (another user owns it, it is a symbolic link,
// or others may write into it) is not used.
std::string instance_lock_file_name();

enum class InstanceLock {
    Owned,         // this process holds the lock
    HeldElsewhere, // another process holds it; the open lock file waits in the process's slot
    Unavailable,   // the lock file could not be opened: the launcher runs without the lock
};

// Opens the lock file (never through a link, never inherited by started programs) and tries the
// lock without waiting. Owned or HeldElsewhere: the open file goes into the process-wide slot,
// which must be empty (a second call while the slot is full is a broken invariant). Unavailable
// when the folder is refused, the file cannot be opened or cannot be locked at all.
InstanceLock create_instance_mutex();

// Retries the lock of the file in the slot until it is had or timeout has passed. True when this
// process now holds it (also when its holder died without letting it go); false on time-out or
// when the slot is empty.
bool wait_for_instance_mutex(std::chrono::milliseconds timeout);

// Takes the lock file out of the slot, leaving the slot empty, and lets the lock go and closes the
// file when there was one. True for the one call that found it there. Safe from any thread.
bool take_and_release_instance_mutex();

// Lets go of the process's single-instance lock when it holds one; every later call does nothing.
// Safe to call from any thread, and from a normal exit and a restart racing each other.
void release_instance_mutex();

} // namespace torvane::platform
