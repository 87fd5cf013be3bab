// The window icon set in the form the window host takes it: the built-in PNGs decoded into
// straight (not premultiplied) ARGB words.
#pragma once

#include "platform/window_host.hpp"

#include <cstdint>
#include <vector>

namespace torvane {

// Every size of the built-in window icon, smallest first; a PNG that does not decode is left out.
std::vector<platform::WindowIcon> window_icon_set();

// A premultiplied 0xAARRGGBB word as a straight one: each colour channel c becomes
// round(c * 255 / alpha), at most 255; a transparent word becomes 0.
std::uint32_t straight_argb(std::uint32_t premultiplied);

} // namespace torvane
