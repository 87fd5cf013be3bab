// Advisory locks on open files, shared by the Linux file functions.
#pragma once

#include <cerrno>
#include <sys/file.h>

namespace torvane::platform {

// Takes a flock lock (LOCK_SH or LOCK_EX) without waiting, repeating an interrupted call. False
// when the lock is held elsewhere or the call fails; errno tells which.
inline bool lock_without_waiting(int fd, int operation)
{
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace torvane::platform
