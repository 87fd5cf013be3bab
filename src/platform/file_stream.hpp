// Files read or written piece by piece (hashing, downloads), with the OS error texts of files.hpp.
#pragma once

#include "core/result.hpp"
#include "platform/file_descriptor.hpp"

#include <cstddef>
#include <filesystem>
#include <span>
#include <utility>

namespace torvane::platform {

class FileReader {
public:
    // Opens an existing file for reading; fails with the I/O error's text.
    static Result<FileReader> open(const std::filesystem::path& path);

    // Reads up to buffer.size() bytes: the count read, 0 at the end of the file.
    Result<std::size_t> read(std::span<char> buffer);

private:
    explicit FileReader(FileDescriptor fd) : fd_(std::move(fd)) {}
    FileDescriptor fd_;
};

class FileWriter {
public:
    // Creates the file empty. A file or symbolic link of that name is removed first, so the bytes
    // never go through a link to somewhere else. Fails with the I/O error's text. A writer dropped
    // without close() closes the file without reporting.
    static Result<FileWriter> create(const std::filesystem::path& path);

    // Appends all bytes.
    Status write(std::span<const char> bytes);
    // Flushes the contents to disk.
    Status sync();
    // Closes now, so that a failing close can be reported.
    Status close();

private:
    explicit FileWriter(FileDescriptor fd) : fd_(std::move(fd)) {}
    FileDescriptor fd_;
};

} // namespace torvane::platform
