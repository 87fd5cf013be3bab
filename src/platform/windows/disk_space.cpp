#include "platform/disk_space.hpp"

#include "platform/windows/win32.hpp"

namespace torvane::platform {

std::optional<std::uint64_t> available_disk_bytes(const std::filesystem::path& folder)
{
    // The first figure is the caller's: disk quotas already taken off.
    ULARGE_INTEGER available {};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

} // namespace torvane::platform
