// A file being written, owned by one object: the temporaries that downloads and stored lists are
// written to before a rename publishes them under their final names.
#pragma once

#include "core/result.hpp"

#include <filesystem>
#include <string_view>

namespace torvane::platform {

class OutputFile {
public:
    // Creates the file, or truncates an existing one, for writing. A symbolic link at the path is
    // never followed. Failures carry os_error_text.
    static Result<OutputFile> create(const std::filesystem::path& path);

    OutputFile(OutputFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Closes without flushing (a file abandoned after a failure).
    ~OutputFile();

    // Writes all bytes, repeating interrupted and partial writes.
    Status write(std::string_view bytes);
    // Gives the file the permission bits of another file (an executable replacing another keeps
    // its mode), regardless of the process's file-creation mask.
    Status copy_permissions_from(const std::filesystem::path& model);
    // Flushes the contents to disk and closes the file: after success a rename may publish it.
    Status sync_and_close();
    // Closes the file without flushing it; the caller flushes it later (sync_file_system_of).
    Status close();

private:
    explicit OutputFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Flushes a folder's entries to disk, so that a rename inside it survives a power cut.
Status sync_folder(const std::filesystem::path& folder);

// Flushes everything written to the file system that holds the path (a file or a folder) and waits
// for it: one flush for many files, where flushing each file costs a disk cache flush per file.
Status sync_file_system_of(const std::filesystem::path& path);

} // namespace torvane::platform
