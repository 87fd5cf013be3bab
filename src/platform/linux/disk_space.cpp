#include "platform/disk_space.hpp"

#include <limits>
#include <sys/statvfs.h>

namespace torvane::platform {

std::optional<std::uint64_t> available_disk_bytes(const std::filesystem::path& folder)
{
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0)
        return std::nullopt;
    unsigned __int128 bytes = static_cast<unsigned __int128>(st.f_bavail) * st.f_frsize;
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    return bytes > most ? most : static_cast<std::uint64_t>(bytes);
}

} // namespace torvane::platform
