// The failure texts of the system's own calls, as the platform layer words them ("<message> (os
// error <code>)"), for the cases that both builds run: strerror's words and errno codes on Linux,
// the system's message table and Win32 codes on Windows.
#pragma once

#include <string>

namespace torvane::test {

struct SystemErrorTexts {
    std::string missing_file;       // no such file: ENOENT, ERROR_FILE_NOT_FOUND
    std::string missing_folder;     // a folder on the way is missing: ENOENT, ERROR_PATH_NOT_FOUND
    std::string access_denied;      // EACCES, ERROR_ACCESS_DENIED
    std::string file_exists;        // a new file's name is taken: EEXIST, ERROR_FILE_EXISTS
    std::string folder_opened;      // a folder opened as a file: EISDIR, ERROR_ACCESS_DENIED
    std::string file_in_the_way;    // a file where a folder must be made: ENOTDIR, ERROR_ALREADY_EXISTS
    std::string not_a_folder;       // a file given as a folder: ENOTDIR, ERROR_DIRECTORY
    std::string in_use;             // a file pinned by a reader: EWOULDBLOCK, ERROR_SHARING_VIOLATION
    std::string connection_refused; // ECONNREFUSED, WSAECONNREFUSED
};

// The texts of the system this build runs on.
const SystemErrorTexts& system_error_texts();

} // namespace torvane::test
