// Walks and deletes of folder trees that never pass a link: a symbolic link or junction inside
// is never entered, and a delete removes it as an entry without touching its target. Written once
// over the platform's listing (folder_listing.hpp), so both systems share one logic.
#pragma once

#include "platform/folder_listing.hpp"

#include <functional>

namespace torvane::platform {

// The folder operations of a walk and a delete. The system's are the default; a test gives its
// own to show them entries the system at hand cannot make (a junction under Wine).
class FolderSystem {
public:
    virtual ~FolderSystem() = default;
    virtual Result<std::vector<FolderEntry>> list(const fs::path& folder) const { return list_folder(folder); }
    virtual Result<FileInfo> metadata(const fs::path& path) const { return file_info(path, FollowLinks::No); }
    virtual Status remove(const fs::path& path, const FolderEntry& entry) const { return remove_folder_entry(path, entry); }
};

// The system's folder operations.
const FolderSystem& system_folders();

// One entry met by a walk. depth counts the folders entered to reach it: 0 for the entries of the
// walked folder itself.
struct WalkEntry {
    const fs::path& path; // the walked folder joined with the names down to this entry
    const FolderEntry& entry;
    int depth;
};

enum class Descend { No, Yes };

// Visits the entries below the folder depth first, in listing order: each entry, then, when it is
// a folder (kind Directory) and the visitor answers Descend::Yes, everything inside it before the
// next entry. A link (kind SymbolicLink) is never entered, whatever the answer. A folder that
// cannot be listed adds nothing and stops nothing. Each folder is listed whole before its entries
// are visited, so the visitor may delete the entry it is given. The walked folder itself is listed
// as given (resolve or check it first).
void walk_folder(const fs::path& folder, const std::function<Descend(const WalkEntry&)>& visit,
                 const FolderSystem& system = system_folders());

// Deletes the path and everything below it without passing any reparse point: a plain folder is
// emptied and removed, every other entry (a file, a link, a junction, a folder reparse point of
// any tag) is removed as itself, its target or content never touched; a folder that keeps an
// entry stays. When the path itself is a link, only the link goes. A missing path is success;
// otherwise the first failure is returned after everything else was tried.
Status remove_tree(const fs::path& path, const FolderSystem& system = system_folders());

} // namespace torvane::platform
