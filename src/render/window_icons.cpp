#include "render/window_icons.hpp"

#include "render/images.hpp"

#include <algorithm>

namespace torvane {

std::uint32_t straight_argb(std::uint32_t premultiplied)
{
    std::uint32_t alpha = premultiplied >> 24;
    if (alpha == 0)
        return 0;
    auto channel = [&](int shift) {
        std::uint32_t c = (premultiplied >> shift) & 0xFF;
        return std::min<std::uint32_t>(255, (c * 255 + alpha / 2) / alpha) << shift;
    };
    return (alpha << 24) | channel(16) | channel(8) | channel(0);
}

std::vector<platform::WindowIcon> window_icon_set()
{
    std::vector<platform::WindowIcon> icons;
    for (const WindowIconImage& image : built_in_window_icons()) {
        std::optional<Pixmap> pixmap = decode_png(image.png);
        if (!pixmap)
            continue;
        platform::WindowIcon icon {static_cast<std::int32_t>(pixmap->width()),
            static_cast<std::int32_t>(pixmap->height()), {}};
        icon.pixels.reserve(pixmap->pixel_count());
        for (std::uint32_t word : pixmap->pixels())
            icon.pixels.push_back(straight_argb(word));
        icons.push_back(std::move(icon));
    }
    return icons;
}

} // namespace torvane
