#include "update/install_folders.hpp"

#include "platform/file_handle.hpp"
#include "platform/files.hpp"
#include "platform/path_text.hpp"
#include "update/digest.hpp"
#include "update/path_safety.hpp"
#include "update/release_list.hpp"

#include <algorithm>
#include <system_error>

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

void sweep_folder(const fs::path& folder, int depth)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error)
        return;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            return;
        // The entry's own type: a symbolic link is neither entered nor deleted.
        fs::file_status status = it->symlink_status(error);
        if (error) {
            error.clear();
            continue;
        }
        std::string name = platform::path_utf8(it->path().filename());
        if (fs::is_directory(status)) {
            bool enter = depth < 4 && (depth > 0 || name == "Data" || name == "Assets");
            if (enter)
                sweep_folder(it->path(), depth + 1);
        } else if (fs::is_regular_file(status) && is_download_temporary_name(name)) {
            (void)platform::remove_file(it->path());
        }
    }
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
    std::error_code error;
    fs::directory_iterator it(game_folder / versions_folder_name, error);
    if (error)
        return;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            return;
        std::string name = platform::path_utf8(it->path().filename());
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
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
}

bool is_download_temporary_name(std::string_view name)
{
    std::size_t marker = name.rfind(download_temporary_marker);
    if (marker == std::string_view::npos)
        return false;
    return is_lower_hex(name.substr(marker + std::string_view(download_temporary_marker).size()), 24);
}

void sweep_temp_files(const fs::path& release_folder) { sweep_folder(release_folder, 0); }

Result<platform::UpdateLock> take_update_lock(const fs::path& game_folder)
{
    auto lock = platform::UpdateLock::acquire(game_folder / update_lock_file_name);
    if (!lock)
        return failure(update_in_progress_message);
    return lock;
}

} // namespace torvane
