#include "render/window_icons.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace torvane {
namespace {

TEST(WindowIcons, StraightFromPremultiplied)
{
    struct Case {
        std::uint32_t premultiplied;
        std::uint32_t straight;
    };
    const Case cases[] = {
        {0xFF123456, 0xFF123456}, // opaque: unchanged
        {0x00000000, 0x00000000},
        {0x00102030, 0x00000000}, // invalid colour under zero alpha: transparent
        {0x80400000, 0x80800000}, // half alpha, half red: full red
        {0x80000040, 0x80000080},
        {0x40404040, 0x40FFFFFF},
        {0x40FF0000, 0x40FF0000}, // a channel above alpha (not premultiplied) is capped
        {0x01010101, 0x01FFFFFF},
        {0xC0604020, 0xC080552B}, // 96, 64, 32 times 255 / 192, halves up
    };
    for (const Case& c : cases)
        EXPECT_EQ(straight_argb(c.premultiplied), c.straight) << std::hex << c.premultiplied;
}

TEST(WindowIcons, EveryBuiltInSizeDecodes)
{
    std::vector<platform::WindowIcon> icons = window_icon_set();
    std::vector<std::int32_t> sizes;
    for (const platform::WindowIcon& icon : icons) {
        EXPECT_EQ(icon.width, icon.height);
        EXPECT_EQ(icon.pixels.size(), static_cast<std::size_t>(icon.width) * icon.height);
        EXPECT_TRUE(std::ranges::any_of(icon.pixels, [](std::uint32_t p) { return (p >> 24) == 0xFF; }))
            << icon.width << " has no opaque pixel";
        sizes.push_back(icon.width);
    }
    EXPECT_EQ(sizes, (std::vector<std::int32_t> {16, 24, 32, 48, 64, 128, 256}));
}

} // namespace
} // namespace torvane
