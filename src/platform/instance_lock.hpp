// The single-instance lock of the launcher: while one launcher holds it, every other start finds
// it held. The holder's death lets it go.
//
// Linux only: one launcher per user. The lock is a lock file named after instance_mutex_name in
// the user's runtime folder (platform/linux/lock_folder.hpp), locked with an exclusive flock that
// the kernel lets go when the holder dies.
//
// Windows only: one launcher per machine. The lock is the named mutex itself, in the Global
// namespace; a mutex whose owner ends without releasing it is abandoned, and the next wait that
// gets it counts it as acquired. A mutex belongs to the thread that acquired it: the launcher
// creates, releases and hands it over on its main thread.
#pragma once

#include <chrono>

namespace torvane::platform {

// The name of the launcher's instance mutex.
inline constexpr char instance_mutex_name[] = "Global\\OrnhaldOnline.Launcher";

enum class InstanceLock {
    Owned,         // this process holds the lock
    HeldElsewhere, // another process holds it; this process's open lock waits in the slot
    Unavailable,   // the lock could not be made: the launcher runs without the lock
};

// Makes the lock (never inherited by started programs) and tries it without waiting. Owned or
// HeldElsewhere: the open lock goes into the process-wide slot, which must be empty (a second call
// while the slot is full is a broken invariant). Unavailable when the lock cannot be made.
// Linux only: the lock file, in lock_folder(), is never opened through a link. Unavailable also
// when that folder is no real folder of this user's (another user owns it, it is a symbolic link,
// or others may write into it), or the file cannot be opened or cannot be locked at all.
// Windows only: HeldElsewhere leaves the slot empty when the existing mutex could not be opened.
InstanceLock create_instance_mutex();

// Waits for the lock in the slot until it is had or timeout has passed. True when this process now
// holds it (also when its holder died without letting it go); false on time-out or when the slot
// is empty.
bool wait_for_instance_mutex(std::chrono::milliseconds timeout);

// Takes the open lock out of the slot, leaving the slot empty, and lets the lock go and closes it
// when there was one. True for the one call that found it there. Safe from any thread.
// Windows only: a call from a thread that does not own the mutex closes the handle only; the mutex
// is let go (abandoned) when its owning thread ends.
bool take_and_release_instance_mutex();

// Lets go of the process's single-instance lock when it holds one; every later call does nothing.
// Safe to call from any thread, and from a normal exit and a restart racing each other.
void release_instance_mutex();

} // namespace torvane::platform
