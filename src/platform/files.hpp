// Files and their metadata, as the launcher needs them from the operating system.
#pragma once

#include "platform/result.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace torvane::platform {

namespace fs = std::filesystem;

enum class FollowLinks { No, Yes };

enum class FileKind { Missing, Regular, Directory, SymbolicLink, Other };

// What a path is. Seen without following (FollowLinks::No, and every folder listing), the kinds
// and the reparse point agree on both systems:
// - SymbolicLink: an entry that redirects by name. On Linux a symbolic link; on Windows a reparse
//   point whose tag is a name surrogate (a symbolic link, a junction) or reads 0 (how Wine shows a
//   Unix symbolic link). Walks never enter it; deletes remove the entry, never its target.
// - reparse_point: the entry is a reparse point of any tag. Every SymbolicLink is one; on Windows
//   a reparse point of another tag (a cloud placeholder, a deduplicated file) keeps its kind
//   Regular or Directory and sets only this. The path checks of the update refuse them all.
// Followed (FollowLinks::Yes), kind and reparse_point describe the file reached.
struct FileInfo {
    FileKind kind = FileKind::Missing;
    bool reparse_point = false;
    // The reparse tag on Windows (IO_REPARSE_TAG_...): 0 when reparse_point is false, for a Unix
    // symbolic link seen through Wine, and always on Linux.
    std::uint32_t reparse_tag = 0;
    std::uint64_t size = 0;
    // Last modification in 100-ns ticks since 0001-01-01 UTC.
    std::int64_t modified_ticks = 0;
    bool read_only = false; // the owner may not write it
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t link_count = 0;
};

// Error texts in the form "No such file or directory (os error 2)": the system's message for the
// code, read in the code domain of the call that failed.
// The system's own calls: an errno number on Linux, a Win32 error code on Windows.
std::string os_error_text(int error_number);
// os_error_text of the current errno (GetLastError on Windows).
std::string last_os_error_text();
// A C library errno: on Linux the same as os_error_text; on Windows the C runtime's message for
// its own errno (never read as a Win32 code, whose numbers mean other things).
std::string c_library_error_text(int errno_value);
// A std::error_code by its category: generic_category holds C library errno values,
// system_category the system's own codes (Win32 codes where MinGW's std::filesystem asked
// GetLastError); any other category gives its own message.
std::string error_code_text(const std::error_code& error);

// Metadata of a path. A path that does not exist is not a failure: its kind is Missing. With
// FollowLinks::No a link reports itself (kind SymbolicLink, see FileInfo) instead of its target.
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
// are removed (the target's name in theirs compared as the file system compares names, see
// file_name_key; a folder under such a name stays, a link goes itself).
Status write_file_atomic(const fs::path& path, std::string_view bytes);
// Flushes a file's contents to disk.
Status sync_file(const fs::path& path);

// Renames, replacing an existing target (files only).
Status replace_rename(const fs::path& from, const fs::path& to);
// Removes a file or symbolic link (never follows it). A missing path is success. On Windows a
// folder link or junction is removed as a folder entry, and a reparse point whose tag reads 0
// (Wine's view of a Unix symbolic link, which Wine would delete through to its target) is refused
// with ERROR_CANT_RESOLVE_FILENAME's text.
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
