// An open file for reading, owned by one object, and the in-use rule of release files.
//
// A file that must not be replaced or deleted while it is in use (the verified client executable)
// is opened with Pin::Yes; while that handle is open, remove_file_unless_in_use refuses the file,
// whichever process asks.
//
// Linux only: there are no share modes. Pin::Yes takes a shared advisory lock on the file. The lock
// belongs to the open file, so a started process that inherits the descriptor keeps the file in use
// for as long as it runs. Renames onto the path still succeed, but never change the bytes that the
// open descriptor reads.
//
// Windows only: Pin::Yes opens the file sharing reading only: no process can write, rename or
// delete it while the handle is open.
#pragma once

#include "platform/result.hpp"
#include "platform/file_descriptor.hpp"

#include <cstdint>
#include <filesystem>
#include <span>
#include <utility>

namespace torvane::platform {

namespace fs = std::filesystem;

enum class Pin { No, Yes };

class FileHandle {
public:
    // Opens an existing file for reading (never blocks on a FIFO); a folder is refused. With
    // Pin::Yes the file is also marked in use until the handle closes; that fails when a deletion
    // is under way. Failures carry os_error_text.
    static Result<FileHandle> open_for_reading(const fs::path& path, Pin pin = Pin::No);

    // Reads up to buffer.size() bytes, repeating interrupted reads; 0 means the end of the file.
    Result<std::size_t> read(std::span<std::uint8_t> buffer);
    // Reads until the buffer is full or the file ends; yields the number of bytes read.
    Result<std::size_t> read_full(std::span<std::uint8_t> buffer);

    bool is_open() const { return fd_.is_open(); }
    // The descriptor (close-on-exec; on Windows the handle as FileDescriptor holds it, not
    // inheritable); it stays owned by this object.
    int descriptor() const { return fd_.get(); }
    const fs::path& path() const { return path_; }
    void close() { (void)fd_.close(); }

private:
    FileHandle(FileDescriptor fd, fs::path path) : fd_(std::move(fd)), path_(std::move(path)) {}
    FileDescriptor fd_;
    fs::path path_;
};

// Deletes a file or symbolic link unless a handle opened with Pin::Yes holds it (in any process).
// A missing path is success; a file in use fails with the system's text for it (Linux:
// os_error_text(EWOULDBLOCK); Windows: the sharing violation).
Status remove_file_unless_in_use(const fs::path& path);

} // namespace torvane::platform
