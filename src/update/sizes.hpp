// Size texts of the signed update and the free space of the target volume.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace torvane {

// Below 1 GiB whole megabytes rounded up ("0 MB", "2 MB" for 1,048,577 bytes); from 1 GiB on
// gigabytes with two decimals and a decimal comma ("1,50 GB").
std::string format_disk_size(std::uint64_t bytes);

// The download phase's label: "Baixando o Torvane: {} de {}" for a first installation, else
// "Baixando atualização: {} de {}", with format_disk_size of the downloaded and the total bytes.
std::string download_progress_text(bool fresh_install, std::uint64_t downloaded, std::uint64_t total);

// The bytes available to this user on the folder's volume; nothing when it cannot be queried (the
// caller then skips its space check).
std::optional<std::uint64_t> free_disk_space(const std::filesystem::path& folder);

} // namespace torvane
