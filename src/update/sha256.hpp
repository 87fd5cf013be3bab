// SHA-256 digests of files, as the update paths compare them.
#pragma once

#include "platform/result.hpp"

#include <filesystem>
#include <string>

namespace torvane {

// The file's SHA-256 as 64 lower-case hexadecimal digits, read in 1 MiB blocks; fails with the
// I/O error's text ("No such file or directory (os error 2)").
Result<std::string> sha256_file(const std::filesystem::path& path);

} // namespace torvane
