// The instance lock file on Linux: its name and the folder it lives in. Split out so that tests can
// put folders of their own in place of the system's.
#pragma once

#include "platform/result.hpp"

#include <filesystem>
#include <string>

namespace torvane::platform {

// The lock file's name: a file-name-safe form of instance_mutex_name (each character other than
// letters, digits, ".", "-" and "_" becomes "_") with ".lock" appended.
std::string instance_lock_file_name();

// What the lock folder is chosen from.
struct LockFolderPlaces {
    const char* runtime_variable = nullptr;  // $XDG_RUNTIME_DIR as set, or null when unset
    std::filesystem::path user_runtime_root; // holds one runtime folder per user, named by the uid
    std::filesystem::path temporary_folder;
};

// This process's places: its environment, "/run/user" (or the root set_user_runtime_root gave) and
// the temporary folder.
LockFolderPlaces lock_folder_places();

// The folder of the lock file: the runtime variable when it is an absolute path; otherwise
// <user runtime root>/<uid> when that is a folder (not a link) of this user's that nobody else may
// write into, so that a launcher started without the variable finds the lock of one started with
// it; otherwise "torvane-<uid>" under the temporary folder, made with mode 0700 when missing. Fails
// with os_error_text when that folder cannot be made.
Result<std::filesystem::path> lock_folder(const LockFolderPlaces& places);

// Puts root in place of "/run/user" for the rest of the process; an empty path restores it.
void set_user_runtime_root(std::filesystem::path root);

} // namespace torvane::platform
