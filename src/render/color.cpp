#include "render/color.hpp"

#include "platform/text.hpp"

#include <algorithm>
#include <cmath>

namespace torvane {

namespace {

float unit(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }

std::uint32_t to_byte(float value) { return static_cast<std::uint32_t>(std::clamp(value * 255.0f + 0.5f, 0.0f, 255.0f)); }

} // namespace

Color Color::with_alpha_scaled(float factor) const { return Color{r, g, b, unit(a * factor)}; }

std::optional<Color> parse_color(std::string_view text)
{
    while (!text.empty() && text.front() == '#')
        text.remove_prefix(1);
    if (text.size() != 3 && text.size() != 6 && text.size() != 8)
        return std::nullopt;
    int digits[8] = {};
    for (std::size_t i = 0; i < text.size(); ++i) {
        digits[i] = platform::hex_digit_value(text[i]);
        if (digits[i] < 0)
            return std::nullopt;
    }
    std::uint8_t c[4] = {0, 0, 0, 255};
    if (text.size() == 3) {
        for (int i = 0; i < 3; ++i)
            c[i] = static_cast<std::uint8_t>(digits[i] * 17);
    } else {
        for (std::size_t i = 0; i < text.size() / 2; ++i)
            c[i] = static_cast<std::uint8_t>(digits[2 * i] * 16 + digits[2 * i + 1]);
    }
    return Color::from_rgba8(c[0], c[1], c[2], c[3]);
}

std::uint32_t premultiplied_word(Color color)
{
    float a = unit(color.a);
    float r = unit(color.r);
    float g = unit(color.g);
    float b = unit(color.b);
    if (a != 1.0f) {
        r = unit(r * a);
        g = unit(g * a);
        b = unit(b * a);
    }
    return to_byte(a) << 24 | to_byte(r) << 16 | to_byte(g) << 8 | to_byte(b);
}

} // namespace torvane
