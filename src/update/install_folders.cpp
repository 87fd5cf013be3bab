#include "update/install_folders.hpp"

#include "platform/file_handle.hpp"
#include "platform/files.hpp"
#include "platform/folder_walk.hpp"
#include "platform/path_text.hpp"
#include "update/digest.hpp"
#include "update/path_safety.hpp"
#include "update/release_list.hpp"

#include <algorithm>

namespace torvane {

namespace fs = std::filesystem;

namespace {

bool is_release_id(std::string_view name) { return is_lower_hex(name, release_id_length); }

// Reads a small file only when it is a regular file itself (no link), and then only through the
// upper bound: the bytes read decide the size, not the metadata read a moment earlier.
Result<std::string> read_checked(const fs::path& path, std::uint64_t min_size, std::uint64_t max_size)
{
    std::string bytes = TRY(read_through_limit(path, max_size));
    if (bytes.size() < min_size)
        return failure("tamanho inesperado");
    return bytes;
}

Result<fs::path> active_release_folder(const fs::path& game_folder)
{
    fs::path active = game_folder / active_release_file_name;
    TRY(ensure_inside_base(game_folder, active));
    std::string id = TRY(read_checked(active, release_id_length, release_id_length));
    if (!is_release_id(id))
        return failure("id inválido");

    fs::path folder = release_folder_path(game_folder, id);
    ReleaseList list = TRY(read_installed_list(game_folder, folder));
    if (list.release_id != id)
        return failure("a lista é de outra versão");
    return folder;
}

// The sweep enters at most four levels below the release folder, and at the top only "Data" and
// "Assets".
platform::Descend sweep_descends(const platform::WalkEntry& walked, const std::string& name)
{
    if (walked.depth >= 4)
        return platform::Descend::No;
    return walked.depth > 0 || name == "Data" || name == "Assets" ? platform::Descend::Yes : platform::Descend::No;
}

} // namespace

Result<std::string> read_through_limit(const fs::path& path, std::uint64_t max_size)
{
    auto bytes = platform::read_file(path, max_size, platform::FollowLinks::No);
    if (!bytes && bytes.error() == platform::file_too_large_message)
        return failure("tamanho inesperado");
    return bytes;
}

Result<ReleaseList> read_installed_list(const fs::path& game_folder, const fs::path& release_folder)
{
    fs::path path = release_folder / installed_list_file_name;
    TRY(ensure_inside_base(game_folder, path));
    std::string bytes = TRY(read_checked(path, 0, release_list_max_size));
    return parse_release_list(bytes);
}

fs::path release_folder_path(const fs::path& game_folder, std::string_view release_id)
{
    return game_folder / versions_folder_name / std::string(release_id);
}

fs::path resolve_active_release(const fs::path& game_folder)
{
    auto folder = active_release_folder(game_folder);
    return folder ? *folder : game_folder;
}

void prune_releases(const fs::path& game_folder, std::string_view keep_release_id)
{
    auto entries = platform::list_folder(game_folder / versions_folder_name);
    if (!entries)
        return;
    for (const platform::FolderEntry& entry : *entries) {
        std::string name = platform::path_utf8(entry.name);
        if (name == keep_release_id || !is_release_id(name))
            continue;
        fs::path folder = game_folder / versions_folder_name / name;
        if (!ensure_inside_base(game_folder, folder))
            continue;
        // A running client keeps its Main.exe in use; its release must stay.
        fs::path executable = folder / "Main.exe";
        auto info = platform::file_info(executable, platform::FollowLinks::No);
        if (info && info->kind != platform::FileKind::Missing && !platform::remove_file_unless_in_use(executable))
            continue;
        // Links and junctions inside go as entries: what they lead to stays.
        (void)platform::remove_tree(folder);
    }
}

bool is_download_temporary_name(std::string_view name)
{
    std::size_t marker = name.rfind(download_temporary_marker);
    if (marker == std::string_view::npos)
        return false;
    return is_lower_hex(name.substr(marker + std::string_view(download_temporary_marker).size()), 24);
}

void sweep_temp_files(const fs::path& release_folder)
{
    platform::walk_folder(release_folder, [](const platform::WalkEntry& walked) {
        std::string name = platform::path_utf8(walked.entry.name);
        switch (walked.entry.kind) {
        case platform::FileKind::Directory:
            return sweep_descends(walked, name);
        case platform::FileKind::Regular:
            if (is_download_temporary_name(name))
                (void)platform::remove_file(walked.path);
            return platform::Descend::No;
        default:
            // Links and junctions are neither entered nor deleted, whatever their names.
            return platform::Descend::No;
        }
    });
}

Result<platform::UpdateLock> take_update_lock(const fs::path& game_folder)
{
    auto lock = platform::UpdateLock::acquire(game_folder / update_lock_file_name);
    if (!lock)
        return failure(update_in_progress_message);
    return lock;
}

} // namespace torvane
