// Free space of a volume.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace torvane::platform {

// The bytes that the calling user may still write on the volume holding the folder (blocks
// available to unprivileged users, not the volume's total free blocks); nothing when the folder's
// volume cannot be queried.
std::optional<std::uint64_t> available_disk_bytes(const std::filesystem::path& folder);

} // namespace torvane::platform
