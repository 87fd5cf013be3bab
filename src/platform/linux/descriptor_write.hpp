// Writing through file descriptors and flushing it to disk, shared by the Linux file functions.
#pragma once

#include "platform/result.hpp"

#include <string_view>

namespace torvane::platform {

// Writes all bytes, repeating interrupted and partial writes. Failures carry os_error_text.
Status write_all(int fd, std::string_view bytes);

// Opens the path read-only with the extra open flags, flushes through the descriptor (fsync or
// syncfs) and closes it. Failures carry os_error_text.
Status flush_through(const char* path, int extra_flags, int (*flush)(int));

} // namespace torvane::platform
