// A file being written, owned by one object: the temporaries that downloads and stored lists are
// written to before a rename publishes them under their final names.
#pragma once

#include "platform/result.hpp"
#include "platform/file_descriptor.hpp"

#include <filesystem>
#include <string_view>
#include <utility>

namespace torvane::platform {

// What OutputFile::create does with a file that is already at the path.
enum class ExistingFile {
    // Empties it and writes over it; a symbolic link at the path fails the create.
    Truncate,
    // Removes the file or symbolic link first and creates a new file, so the bytes never reach a
    // file that another name (a hard link, a link planted there) leads to.
    Replace,
    // Fails the create (EEXIST) when anything, a symbolic link included, is at the path.
    Refuse,
};

class OutputFile {
public:
    // Creates the file for writing, with 0644 less the file-creation mask. A symbolic link at the
    // path is never followed. Failures carry os_error_text. The object is move-only; dropped without
    // close() or sync_and_close(), the file is closed without flushing (a file abandoned after a
    // failure).
    static Result<OutputFile> create(const std::filesystem::path& path,
                                     ExistingFile existing = ExistingFile::Truncate);

    // Writes all bytes, repeating interrupted and partial writes.
    Status write(std::string_view bytes);
    // Gives the file the permission bits of another file (an executable replacing another keeps
    // its mode), regardless of the process's file-creation mask.
    Status copy_permissions_from(const std::filesystem::path& model);
    // Flushes the contents to disk and closes the file: after success a rename may publish it.
    Status sync_and_close();
    // Closes the file without flushing it; the caller flushes it later (sync_file_system_of).
    Status close();
    // Starts writing the file's bytes to disk without waiting for them, so that a later flush has
    // little left to do. Only a hint: a failure here shows in that flush.
    void start_write_back();

private:
    explicit OutputFile(FileDescriptor fd) : fd_(std::move(fd)) {}
    FileDescriptor fd_;
};

// Flushes a folder's entries to disk, so that a rename inside it survives a power cut.
Status sync_folder(const std::filesystem::path& folder);

// Flushes everything written to the file system that holds the path (a file or a folder) and waits
// for it: one flush for many files, where flushing each file costs a disk cache flush per file.
Status sync_file_system_of(const std::filesystem::path& path);

} // namespace torvane::platform
