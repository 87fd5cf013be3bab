// A file being written, owned by one object: the temporaries that downloads and stored lists are
// written to before a rename publishes them under their final names.
#pragma once

#include "platform/result.hpp"
#include "platform/file_descriptor.hpp"

#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

namespace torvane::platform {

// What OutputFile::create does with what is already at the path. Every way creates the file
// exclusively, so its bytes never reach a file that another name (a hard link, a symbolic link
// planted at the path) leads to; a folder at the path stays and fails the create.
enum class ExistingFile {
    // Removes the file or link at the path first (never following it), then creates a new file.
    // A name that cannot be removed fails the create.
    Replace,
    // As Replace, except where the name cannot be removed (a folder that takes no changes, a file
    // another program holds without sharing its deletion): a regular file there that no other
    // name leads to (one link, not a link itself) and that this user owns is emptied and written
    // in place, so that what it held never outlives the write.
    ReplaceOrRewrite,
    // Fails the create (EEXIST) when anything, a symbolic link included, is at the path.
    Refuse,
};

class OutputFile {
public:
    // Creates the file for writing, with 0644 less the file-creation mask; what is already at the
    // path is met as `existing` says. Failures carry os_error_text. The object is move-only;
    // dropped without close() or sync_and_close(), the file is closed without flushing (a file
    // abandoned after a failure).
    static Result<OutputFile> create(const std::filesystem::path& path, ExistingFile existing);
    // The exclusive create of ExistingFile::Refuse, telling a taken name from a failure: none when
    // anything (a symbolic link included) is at the path already, so that the caller may try
    // another name. Other failures carry os_error_text.
    static Result<std::optional<OutputFile>> create_new(const std::filesystem::path& path);

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

// Copies a file's bytes (read through links) into a new file at `to`, created as with
// ExistingFile::Replace, gives it the source's permission bits and flushes it to disk. A failed
// copy leaves nothing at `to`.
Status copy_to_new_file(const std::filesystem::path& from, const std::filesystem::path& to);

// Flushes a folder's entries to disk, so that a rename inside it survives a power cut.
Status sync_folder(const std::filesystem::path& folder);

// Flushes everything written to the file system that holds the path (a file or a folder) and waits
// for it: one flush for many files, where flushing each file costs a disk cache flush per file.
Status sync_file_system_of(const std::filesystem::path& path);

} // namespace torvane::platform
