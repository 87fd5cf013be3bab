// How the Windows layer reads a reparse point: which ones redirect by name (and count as links),
// and the kind of a listed entry from its attributes and tag.
#pragma once

#include "platform/folder_listing.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::platform {

// Whether a reparse point of this tag redirects by name: a name surrogate (a symbolic link, a
// junction, any other surrogate tag), or tag 0. No reparse point of a real Windows carries tag 0;
// Wine shows a Unix symbolic link to a folder that way (attributes 0x410, tag 0), and it
// redirects like any link.
inline bool redirects_by_name(DWORD reparse_tag) { return reparse_tag == 0 || IsReparseTagNameSurrogate(reparse_tag); }

// The kind of an entry seen without following, from its attributes and its reparse tag (read only
// when FILE_ATTRIBUTE_REPARSE_POINT is set).
inline FileKind kind_of_attributes(DWORD attributes, DWORD reparse_tag)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && redirects_by_name(reparse_tag))
        return FileKind::SymbolicLink;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileKind::Directory;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return FileKind::Other;
    return FileKind::Regular;
}

// One entry of a FindFirstFileExW / FindNextFileW listing: dwReserved0 holds the reparse tag when
// the attributes carry FILE_ATTRIBUTE_REPARSE_POINT.
inline FolderEntry folder_entry_from_find_data(const WIN32_FIND_DATAW& data)
{
    const bool reparse_point = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const DWORD tag = reparse_point ? data.dwReserved0 : 0;
    return FolderEntry {.name = std::filesystem::path(data.cFileName),
                        .kind = kind_of_attributes(data.dwFileAttributes, tag),
                        .reparse_point = reparse_point,
                        .reparse_tag = tag};
}

} // namespace torvane::platform
