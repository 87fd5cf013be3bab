// The owner of an open file descriptor (files, locks, sockets), so that every descriptor the
// platform layer opens is closed exactly once.
#pragma once

#include <utility>

namespace torvane::platform {

// Move-only; the descriptor is closed when the owner goes away or is assigned another one.
class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes a descriptor as open() or socket() return it; a negative value owns nothing. Windows
    // only: it holds a kernel handle as HandleToLong gives it (handles carry 32 significant bits).
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Closes now; true when nothing was open. False when the close failed (errno tells why, on
    // Windows GetLastError); the descriptor is released either way.
    bool close();

private:
    int fd_ = -1;
};

} // namespace torvane::platform
