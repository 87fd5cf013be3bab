#include "platform/launcher_executable.hpp"

namespace torvane::platform {

// The service's "Launcher" entry and /files/Torvane.exe are the Windows launcher's.
const char launcher_download_name[] = "torvane-linux-x86_64";
const char launcher_entry_key[] = "LauncherLinux";

} // namespace torvane::platform
