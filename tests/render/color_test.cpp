#include "render/color.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torvane {
namespace {

TEST(ParseColor, ReadsTheThreeHexForms)
{
    struct Case {
        const char* text;
        std::uint8_t r, g, b, a;
    };
    const Case cases[] = {
        {"#D9A845", 0xD9, 0xA8, 0x45, 0xFF},
        {"#d9a845", 0xD9, 0xA8, 0x45, 0xFF},
        {"#fff", 0xFF, 0xFF, 0xFF, 0xFF},
        {"#1a2", 0x11, 0xAA, 0x22, 0xFF},
        {"#12B88080", 0x12, 0xB8, 0x80, 0x80},
        {"##12B880", 0x12, 0xB8, 0x80, 0xFF}, // every leading '#' is dropped
    };
    for (const Case& c : cases) {
        auto color = parse_color(c.text);
        ASSERT_TRUE(color) << c.text;
        EXPECT_EQ(*color, Color::from_rgba8(c.r, c.g, c.b, c.a)) << c.text;
    }
}

TEST(ParseColor, RefusesOtherLengthsAndDigits)
{
    for (const char* text : {"", "#", "#12", "#1234", "#12345", "#1234567", "#123456789", "#GG0000", "#12 345", " #123"})
        EXPECT_FALSE(parse_color(text)) << '"' << text << '"';
}

TEST(PremultipliedWord, PacksAlphaOnTopAndRounds)
{
    EXPECT_EQ(premultiplied_word(Color{1, 1, 1, 1}), 0xFFFFFFFFu);
    EXPECT_EQ(premultiplied_word(Color::from_rgba8(0xD9, 0xA8, 0x45)), 0xFFD9A845u);
    // Half-transparent white: 0.5 * 255 + 0.5 = 128.
    EXPECT_EQ(premultiplied_word(Color{1, 1, 1, 0.5f}), 0x80808080u);
    EXPECT_EQ(premultiplied_word(Color{NAN, 2, -1, 1}), 0xFF00FF00u);
}

} // namespace
} // namespace torvane
