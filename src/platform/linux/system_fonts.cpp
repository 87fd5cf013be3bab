#include "platform/system_fonts.hpp"

namespace torvane::platform {

std::span<const std::filesystem::path> arial_compatible_font_paths()
{
    // Arial itself (msttcorefonts), else Liberation Sans, which has Arial's metrics.
    static const std::filesystem::path paths[] = {
        "/usr/share/fonts/truetype/msttcorefonts/Arial.ttf",
        "/usr/share/fonts/truetype/msttcorefonts/arial.ttf",
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    };
    return paths;
}

} // namespace torvane::platform
