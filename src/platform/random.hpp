// Random bytes from the operating system's preferred generator.
#pragma once

#include "platform/result.hpp"

#include <cstdint>
#include <span>

namespace torvane::platform {

// Fills the buffer with cryptographically strong random bytes; fails with os_error_text.
Status random_bytes(std::span<std::uint8_t> buffer);

} // namespace torvane::platform
