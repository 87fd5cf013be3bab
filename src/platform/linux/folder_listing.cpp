#include "platform/folder_listing.hpp"
#include "platform/linux/file_kind.hpp"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace torvane::platform {

namespace {

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

} // namespace

Result<std::vector<FolderEntry>> list_folder(const fs::path& folder)
{
    std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!directory)
        return failure(last_os_error_text());
    std::vector<FolderEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(directory.get());
        if (!found) {
            if (errno != 0)
                return failure(last_os_error_text());
            return entries;
        }
        const std::string_view name = found->d_name;
        if (name == "." || name == "..")
            continue;
        FolderEntry entry {.name = fs::path(std::string(name))};
        if (found->d_type == DT_UNKNOWN) {
            // Some file systems leave the type to a stat of the entry itself.
            struct stat st {};
            if (::fstatat(::dirfd(directory.get()), found->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            entry.kind = kind_of_mode(st.st_mode);
        } else {
            entry.kind = kind_of_mode(DTTOIF(found->d_type));
        }
        // A symbolic link is Linux's only entry that redirects elsewhere.
        entry.reparse_point = entry.kind == FileKind::SymbolicLink;
        entries.push_back(std::move(entry));
    }
}

Status remove_folder_entry(const fs::path& path, const FolderEntry& entry)
{
    if (entry.kind == FileKind::Directory && !entry.reparse_point) {
        if (::rmdir(path.c_str()) != 0 && errno != ENOENT)
            return failure(last_os_error_text());
        return {};
    }
    return remove_file(path);
}

} // namespace torvane::platform
