#include "platform/launcher_executable.hpp"

namespace torvane::platform {

const char launcher_download_name[] = "Torvane.exe";
const char launcher_entry_key[] = "Launcher";

} // namespace torvane::platform
