#include "platform/system_fonts.hpp"

namespace torvane::platform {

std::span<const std::filesystem::path> arial_compatible_font_paths()
{
    static const std::filesystem::path paths[] = {L"C:\\Windows\\Fonts\\arial.ttf"};
    return paths;
}

} // namespace torvane::platform
