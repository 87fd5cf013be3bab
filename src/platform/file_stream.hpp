// Files read piece by piece, with the OS error texts of files.hpp.
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

} // namespace torvane::platform
