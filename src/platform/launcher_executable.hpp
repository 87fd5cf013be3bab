// The launcher executable that this system's build publishes for its self-update.
#pragma once

namespace torvane::platform {

// Its name in the service's file area ("/files/<name>"), and the top-level entry of launcher.json
// that describes it ("Sha256", "Size"). Each system's launcher has its own, so that none replaces
// itself with the other system's executable.
extern const char launcher_download_name[];
extern const char launcher_entry_key[];

} // namespace torvane::platform
