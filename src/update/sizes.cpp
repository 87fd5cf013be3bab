#include "update/sizes.hpp"

#include "platform/disk_space.hpp"

#include <cstdio>

namespace torvane {

std::string format_disk_size(std::uint64_t bytes)
{
    constexpr std::uint64_t mebibyte = 1'048'576;
    constexpr std::uint64_t gibibyte = 1'073'741'824;
    if (bytes < gibibyte)
        return std::to_string(bytes / mebibyte + (bytes % mebibyte != 0)) + " MB";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(bytes) / static_cast<double>(gibibyte));
    std::string result(text);
    for (char& c : result) {
        if (c == '.')
            c = ',';
    }
    return result + " GB";
}

std::string download_progress_text(bool fresh_install, std::uint64_t downloaded, std::uint64_t total)
{
    std::string text = fresh_install ? "Baixando o Torvane: " : "Baixando atualização: ";
    return text + format_disk_size(downloaded) + " de " + format_disk_size(total);
}

std::optional<std::uint64_t> free_disk_space(const std::filesystem::path& folder)
{
    return platform::available_disk_bytes(folder);
}

} // namespace torvane
