// What each system's registry provides beneath the shared part of the store (registry_store.cpp:
// the store's location, the refused writes, the typed setters). Inside the platform layer only.
#pragma once

#include <filesystem>
#include <string>

namespace torvane::platform::registry_store {

// The store's location when set_registry_root has not moved it: on Linux the folder of the key
// files, on Windows an empty path (the current user's real keys).
std::filesystem::path default_root();

// The error text of a write that refuse_registry_write refuses: the system's own text for a write
// without the right to it.
std::string refused_write_text();

} // namespace torvane::platform::registry_store
