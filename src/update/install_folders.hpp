// The install layout of the game folder: one folder per release under "Versions", the
// "active-release" file that names the one that starts, and the update lock.
//
//   update.lock                       empty lock file, never deleted
//   active-release                    the active release id: 32 lower-case hex digits, no line end
//   Versions/<id>/                    a release folder
//   Versions/<id>/release.pmx         its release list as downloaded, signature included
//   <path>.tmp-<24 hex digits>        a download in progress
#pragma once

#include "platform/result.hpp"
#include "platform/update_lock.hpp"
#include "update/release_list.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace torvane {

inline constexpr char update_lock_file_name[] = "update.lock";
inline constexpr char active_release_file_name[] = "active-release";
inline constexpr char versions_folder_name[] = "Versions";
inline constexpr char installed_list_file_name[] = "release.pmx";
// The suffix of the temporaries that replace "active-release" and "release.pmx".
inline constexpr char replace_temporary_suffix[] = ".next";
inline constexpr char download_temporary_marker[] = ".tmp-";

inline constexpr char update_in_progress_message[] = "outra atualização do Torvane está em andamento.";

// game folder/Versions/<release id>
std::filesystem::path release_folder_path(const std::filesystem::path& game_folder, std::string_view release_id);

// A small file's bytes, read through the limit: at most max_size + 1 bytes are read, so a file that
// grew (or was replaced) since its size was looked at costs no more than that. More than max_size
// bytes fail ("tamanho inesperado"), and so do a symbolic link and anything but a regular file.
Result<std::string> read_through_limit(const std::filesystem::path& path, std::uint64_t max_size);

// The release list stored in a release folder, when the file lies inside the game folder (no link
// on the way), is a regular file of at most the list limit and verifies.
Result<ReleaseList> read_installed_list(const std::filesystem::path& game_folder,
                                        const std::filesystem::path& release_folder);

// The folder the game runs from: the active release's folder when "active-release" names a release
// whose stored list verifies and carries that id; the game folder otherwise. Never fails.
std::filesystem::path resolve_active_release(const std::filesystem::path& game_folder);

// Deletes every release folder under game folder/Versions except the kept one, with all its content
// but never through a link: a symbolic link or junction inside goes as an entry, what it leads to
// stays (platform::remove_tree). Folders whose names are not release ids, that lie behind a link,
// or whose Main.exe is in use (or cannot be deleted) stay. Reports nothing.
void prune_releases(const std::filesystem::path& game_folder, std::string_view keep_release_id);

// Deletes the download temporaries that an interrupted run left below a release folder: in the
// folder itself and up to four levels down inside its "Data" and "Assets". Symbolic links and
// junctions are neither entered nor deleted. Reports nothing.
void sweep_temp_files(const std::filesystem::path& release_folder);

// True for a file name that ends in ".tmp-" followed by exactly 24 lower-case hex digits.
bool is_download_temporary_name(std::string_view name);

// Takes the update lock of the game folder for as long as the returned object lives. Any failure
// (another launcher holds it, or the file cannot be opened) is update_in_progress_message.
Result<platform::UpdateLock> take_update_lock(const std::filesystem::path& game_folder);

} // namespace torvane
