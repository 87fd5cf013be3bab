#include "update/sha256.hpp"

#include "update/digest.hpp"

namespace torvane {

Result<std::string> sha256_file(const std::filesystem::path& path) { return sha256_file_hex(path); }

} // namespace torvane
