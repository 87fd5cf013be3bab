#include "platform/path_text.hpp"

namespace torvane::platform {

// Linux names are bytes, compared exactly.
std::string file_name_key(const std::filesystem::path& path) { return path.native(); }

} // namespace torvane::platform
