#include "platform/folder_walk.hpp"

namespace torvane::platform {

namespace {

void walk_below(const fs::path& folder, int depth, const std::function<Descend(const WalkEntry&)>& visit,
                const FolderSystem& system)
{
    auto entries = system.list(folder);
    if (!entries)
        return;
    for (const FolderEntry& entry : *entries) {
        const fs::path path = folder / entry.name;
        const Descend descend = visit(WalkEntry {path, entry, depth});
        if (descend == Descend::Yes && entry.kind == FileKind::Directory)
            walk_below(path, depth + 1, visit, system);
    }
}

// Only a plain folder is emptied: any reparse point, whatever its tag, is removed as an entry.
bool is_plain_folder(FileKind kind, bool reparse_point) { return kind == FileKind::Directory && !reparse_point; }

void keep_first(Status& first, Status next)
{
    if (first && !next)
        first = std::move(next);
}

Status remove_entry_tree(const fs::path& path, const FolderEntry& entry, const FolderSystem& system)
{
    Status result;
    if (is_plain_folder(entry.kind, entry.reparse_point)) {
        auto entries = system.list(path);
        if (!entries)
            return failure(entries.error());
        for (const FolderEntry& inner : *entries)
            keep_first(result, remove_entry_tree(path / inner.name, inner, system));
    }
    keep_first(result, system.remove(path, entry));
    return result;
}

} // namespace

const FolderSystem& system_folders()
{
    static const FolderSystem system;
    return system;
}

void walk_folder(const fs::path& folder, const std::function<Descend(const WalkEntry&)>& visit,
                 const FolderSystem& system)
{
    walk_below(folder, 0, visit, system);
}

Status remove_tree(const fs::path& path, const FolderSystem& system)
{
    FileInfo info = TRY(system.metadata(path));
    if (info.kind == FileKind::Missing)
        return {};
    const FolderEntry entry {
        .name = path.filename(), .kind = info.kind, .reparse_point = info.reparse_point, .reparse_tag = info.reparse_tag};
    return remove_entry_tree(path, entry, system);
}

} // namespace torvane::platform
