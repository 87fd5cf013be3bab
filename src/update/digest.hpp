// Digests and the small text tests that the signed update path shares.
#pragma once

#include "platform/result.hpp"
#include "platform/file_handle.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace torvane {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Pieces in which files are read for hashing.
inline constexpr std::size_t hash_read_size = 1'048'576;

// Two characters per byte from "0123456789abcdef", high nibble first.
std::string hex_lower(std::span<const std::uint8_t> bytes);

// The SHA-256 digest of a byte buffer.
Sha256Digest sha256_bytes(std::string_view bytes);

// The SHA-256 of everything left to read through the handle, read in 1 MiB pieces into one buffer;
// a read failure gives its os_error_text.
Result<Sha256Digest> sha256_of_handle(platform::FileHandle& file);

// The lower-case hex SHA-256 of a file's content (1 MiB reads), or the I/O error's text.
Result<std::string> sha256_file_hex(const std::filesystem::path& path);

// True when the text is exactly `length` characters, each a digit or a lower-case a-f.
bool is_lower_hex(std::string_view text, std::size_t length);

// ASCII upper-case letters to lower case; every other byte stays.
std::string ascii_lower(std::string_view text);

} // namespace torvane
