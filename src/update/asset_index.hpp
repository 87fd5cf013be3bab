// The header of a release's asset index, which names the release it belongs to.
#pragma once

#include "platform/result.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace torvane {

// Bytes 0-7 of "Assets/assets.idx"; bytes 8-23 are the release id as raw bytes.
inline constexpr std::string_view asset_index_magic = "PXIDX001";
inline constexpr std::size_t asset_index_header_size = 24;

using ReleaseIdBytes = std::array<std::uint8_t, 16>;

inline constexpr char asset_index_missing_message[] = "índice do cliente não encontrado.";
inline constexpr char asset_index_truncated_message[] = "índice do cliente truncado.";
inline constexpr char asset_index_invalid_message[] = "índice do cliente inválido.";

// The release folder's asset index path: folder/Assets/assets.idx.
std::filesystem::path asset_index_path(const std::filesystem::path& release_folder);

// Reads the first 24 bytes of the release folder's asset index and returns the release id they
// carry (hex_lower of it is the list's release id). Errors: the three messages above.
Result<ReleaseIdBytes> read_asset_index_header(const std::filesystem::path& release_folder);

// The 24 header bytes for a release id.
std::string asset_index_header(const ReleaseIdBytes& release_id);

} // namespace torvane
