// Files and their metadata, as the launcher needs them from the operating system.
#pragma once

#include "platform/result.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace torvane::platform {

namespace fs = std::filesystem;

enum class FollowLinks { No, Yes };

enum class FileKind { Missing, Regular, Directory, SymbolicLink, Other };

struct FileInfo {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;
    // Last modification in 100-ns ticks since 0001-01-01 UTC.
    std::int64_t modified_ticks = 0;
    bool read_only = false; // the owner may not write it
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t link_count = 0;
};

// The text of an OS error in the form "No such file or directory (os error 2)": an errno number on
// Linux, a Win32 error code on Windows.
std::string os_error_text(int error_number);
// os_error_text of the current errno (GetLastError on Windows).
std::string last_os_error_text();

// Metadata of a path. A path that does not exist is not a failure: its kind is Missing. With
// FollowLinks::No a symbolic link reports itself (kind SymbolicLink) instead of its target.
Result<FileInfo> file_info(const fs::path& path, FollowLinks follow);

// Whether both paths lead (through links) to one existing file: the file's identity, device and
// inode, not its name, so names that differ only in letter case are two files on a case-sensitive
// file system. False when either cannot be read.
bool same_file(const fs::path& a, const fs::path& b);

// Upper bounds of whole-file reads, each far above any real file of its kind, so that a huge or
// endless file costs no more memory than that.
inline constexpr std::uint64_t document_read_limit = 16 * 1024 * 1024; // configuration, settings, game data
inline constexpr std::uint64_t image_read_limit = 64 * 1024 * 1024;
inline constexpr std::uint64_t font_read_limit = 64 * 1024 * 1024;

// The failures of read_file that are no system error.
inline constexpr char file_too_large_message[] = "arquivo grande demais";
inline constexpr char not_regular_file_message[] = "não é um arquivo comum";

// Whole-file reads and writes. Failures carry os_error_text unless said otherwise.
// Reads a whole regular file of at most max_size bytes. The open never blocks (a FIFO or device
// under the name is opened without waiting and refused): a folder fails with EISDIR's text, any
// other file that is not a regular file with not_regular_file_message. A file of more than
// max_size bytes fails with file_too_large_message; at most max_size + 1 bytes are read, so a file
// that grows while it is read costs no more. With FollowLinks::No a symbolic link at the path
// fails (ELOOP's text) instead of being followed.
Result<std::string> read_file(const fs::path& path, std::uint64_t max_size, FollowLinks follow = FollowLinks::Yes);
// Creates the file new and writes all bytes: whatever is at the path (a file, a hard link, a
// symbolic link) is removed first and never written through (OutputFile, ExistingFile::Replace).
Status write_file(const fs::path& path, std::string_view bytes);
// Writes a temporary beside the target, flushes it to disk and renames it over the target, so the
// target is either the old file or the complete new one. The temporary, "<target>.tmp-<process
// id>-<counter>", is always created new (never written through a file or link already at its
// name); after a successful rename the target's temporaries left by processes that no longer run
// are removed.
Status write_file_atomic(const fs::path& path, std::string_view bytes);
// Flushes a file's contents to disk.
Status sync_file(const fs::path& path);

// Renames, replacing an existing target (files only).
Status replace_rename(const fs::path& from, const fs::path& to);
// Removes a file or symbolic link (never follows it). A missing path is success.
Status remove_file(const fs::path& path);
// Creates the folder and every missing ancestor.
Status create_folders(const fs::path& path);
// Sets or clears the owner's write permission.
Status set_read_only(const fs::path& path, bool read_only);
// Lets whoever may read the file also run it (a started program needs its execute bits).
Status set_executable(const fs::path& path);

// The running executable's full path as it was when first asked for (so a rename of the running
// file does not change it), or an empty path when it cannot be determined.
fs::path executable_path();

} // namespace torvane::platform
