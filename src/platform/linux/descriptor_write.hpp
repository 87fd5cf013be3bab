// Writing to a file descriptor, shared by the Linux file functions.
#pragma once

#include "core/result.hpp"

#include <string_view>

namespace torvane::platform {

// Writes all bytes, repeating interrupted and partial writes. Failures carry os_error_text.
Status write_all(int fd, std::string_view bytes);

} // namespace torvane::platform
