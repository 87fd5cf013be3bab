// The file kind of a stat mode (st_mode, or a directory entry's type through DTTOIF).
#pragma once

#include "platform/files.hpp"

#include <sys/stat.h>

namespace torvane::platform {

inline FileKind kind_of_mode(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISLNK(mode))
        return FileKind::SymbolicLink;
    return FileKind::Other;
}

} // namespace torvane::platform
