// Colours as the launcher's screens and configuration give them: straight (not premultiplied)
// components in 0..1, and their conversion to the premultiplied native pixel word.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace torvane {

struct Color {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 1;

    // From 8-bit components; alpha defaults to opaque.
    static constexpr Color from_rgba8(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255)
    {
        return Color{r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
    }

    // The same colour with its alpha multiplied by factor (clamped to 0..1).
    Color with_alpha_scaled(float factor) const;

    friend bool operator==(const Color&, const Color&) = default;
};

// A gradient stop as callers give it; stops are passed in ascending position order.
struct ColorStop {
    float position = 0;
    Color color;
};

// Parses the text form of a colour: leading '#' characters, then exactly 3 (RGB), 6 (RRGGBB) or
// 8 (RRGGBBAA) hexadecimal digits of either case. None for any other text.
std::optional<Color> parse_color(std::string_view text);

// The colour premultiplied and packed as a native pixel word (alpha in the top byte, then red,
// green, blue). Each component is rounded as value * 255 + 0.5, clamped to 0..255 and truncated;
// a non-finite component counts as 0.
std::uint32_t premultiplied_word(Color color);

} // namespace torvane
