#include "game/game_text.hpp"
#include "platform/unicode.hpp"

#include <cstdint>

namespace torvane {

std::optional<std::int32_t> parse_decimal_i32(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // Accumulated as a negative number so that the most negative value fits.
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 - (c - '0');
        if (value < INT32_MIN)
            return std::nullopt;
    }
    if (!negative) {
        value = -value;
        if (value > INT32_MAX)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> parse_trimmed_i32(std::string_view text)
{
    return parse_decimal_i32(platform::trim_unicode_white_space(text));
}

} // namespace torvane
