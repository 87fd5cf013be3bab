// The lock that keeps a second launcher process from updating the same game folder.
#pragma once

#include "platform/result.hpp"
#include "platform/file_descriptor.hpp"

#include <filesystem>
#include <utility>

namespace torvane::platform {

class UpdateLock {
public:
    // Opens the lock file for reading and writing (created when missing, never through a symbolic
    // link) and locks it exclusively without waiting. Fails with os_error_text when another open of
    // the file holds the lock, in this process or in another. The lock lasts until this object is
    // destroyed or the process ends; nothing is written to the file.
    static Result<UpdateLock> acquire(const std::filesystem::path& lock_file);

private:
    explicit UpdateLock(FileDescriptor fd) : fd_(std::move(fd)) {}
    FileDescriptor fd_;
};

} // namespace torvane::platform
