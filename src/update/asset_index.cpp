#include "update/asset_index.hpp"

#include "platform/file_handle.hpp"

#include <algorithm>
#include <cstring>

namespace torvane {

std::filesystem::path asset_index_path(const std::filesystem::path& release_folder)
{
    return release_folder / "Assets" / "assets.idx";
}

Result<ReleaseIdBytes> read_asset_index_header(const std::filesystem::path& release_folder)
{
    auto file = platform::FileHandle::open_for_reading(asset_index_path(release_folder));
    if (!file)
        return failure(asset_index_missing_message);
    std::array<std::uint8_t, asset_index_header_size> header {};
    auto got = file->read_full(header);
    if (!got || *got != header.size())
        return failure(asset_index_truncated_message);
    if (std::memcmp(header.data(), asset_index_magic.data(), asset_index_magic.size()) != 0)
        return failure(asset_index_invalid_message);
    ReleaseIdBytes id {};
    std::copy(header.begin() + 8, header.end(), id.begin());
    return id;
}

std::string asset_index_header(const ReleaseIdBytes& release_id)
{
    std::string header(asset_index_magic);
    header.append(reinterpret_cast<const char*>(release_id.data()), release_id.size());
    return header;
}

} // namespace torvane
