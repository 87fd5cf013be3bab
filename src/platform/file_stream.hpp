// Files read or written piece by piece (hashing, downloads), with the OS error texts of files.hpp.
#pragma once

#include "core/result.hpp"

#include <cstddef>
#include <filesystem>
#include <span>

namespace torvane::platform {

class FileReader {
public:
    // Opens an existing file for reading; fails with the I/O error's text.
    static Result<FileReader> open(const std::filesystem::path& path);
    FileReader(FileReader&& other) noexcept;
    FileReader& operator=(FileReader&& other) noexcept;
    ~FileReader();

    // Reads up to buffer.size() bytes: the count read, 0 at the end of the file.
    Result<std::size_t> read(std::span<char> buffer);

private:
    explicit FileReader(int fd) : fd_(fd) {}
    int fd_ = -1;
};

class FileWriter {
public:
    // Creates the file empty. A file or symbolic link of that name is removed first, so the bytes
    // never go through a link to somewhere else. Fails with the I/O error's text.
    static Result<FileWriter> create(const std::filesystem::path& path);
    FileWriter(FileWriter&& other) noexcept;
    FileWriter& operator=(FileWriter&& other) noexcept;
    // Closes the file if close() was not called; an error then goes unreported.
    ~FileWriter();

    // Appends all bytes.
    Status write(std::span<const char> bytes);
    // Flushes the contents to disk.
    Status sync();
    // Closes now, so that a failing close can be reported.
    Status close();

private:
    explicit FileWriter(int fd) : fd_(fd) {}
    int fd_ = -1;
};

} // namespace torvane::platform
