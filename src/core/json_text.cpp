#include "core/json_text.hpp"

#include "platform/unicode.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace torvane {

namespace {

// Decodes the code point at text[index] and advances index; nullopt, with index unchanged, on
// malformed UTF-8 (where the lossy decoder gives a U+FFFD that the text does not spell).
std::optional<char32_t> decode_utf8(std::string_view text, std::size_t& index)
{
    std::size_t start = index;
    char32_t code_point = platform::decode_utf8(text, index);
    if (code_point == platform::replacement_character && text.substr(start, index - start) != "\xEF\xBF\xBD") {
        index = start;
        return std::nullopt;
    }
    return code_point;
}

struct Range {
    char32_t first, last;
};

bool in_ranges(char32_t c, std::initializer_list<Range> ranges)
{
    for (const Range& range : ranges)
        if (c >= range.first && c <= range.last)
            return true;
    return false;
}

// Characters that messages spell as \u{hex}: controls, separators other than the space, the
// common format characters, private use, noncharacters, and the combining-mark blocks.
bool needs_hex_escape(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
        return true;
    if (c < 0x7F)
        return false;
    if ((c & 0xFFFE) == 0xFFFE || (c >= 0xFDD0 && c <= 0xFDEF))
        return true;
    return in_ranges(c, {
        {0x00A0, 0x00A0}, {0x00AD, 0x00AD}, {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},
        {0x0600, 0x0605}, {0x061C, 0x061C}, {0x064B, 0x065F}, {0x06DD, 0x06DD}, {0x070F, 0x070F},
        {0x1680, 0x1680}, {0x180E, 0x180E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x2000, 0x200F},
        {0x2028, 0x202F}, {0x205F, 0x206F}, {0x20D0, 0x20FF}, {0x3000, 0x3000}, {0xE000, 0xF8FF},
        {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB}, {0x1D173, 0x1D17A},
        {0xE0000, 0xE0FFF}, {0xF0000, 0x10FFFF},
    });
}

} // namespace

bool is_valid_utf8(std::string_view text)
{
    for (std::size_t index = 0; index < text.size();)
        if (!decode_utf8(text, index))
            return false;
    return true;
}

std::string debug_quoted(std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t index = 0; index < text.size();) {
        std::size_t start = index;
        auto decoded = decode_utf8(text, index);
        if (!decoded) // not reached for valid input; keep the byte visible rather than loop
            decoded = static_cast<unsigned char>(text[index++]);
        char32_t c = *decoded;
        switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        case '\0': out += "\\0"; continue;
        default: break;
        }
        if (!needs_hex_escape(c)) {
            out.append(text.substr(start, index - start));
            continue;
        }
        out += "\\u{";
        int shift = 20;
        while (shift > 0 && ((c >> shift) & 0xF) == 0)
            shift -= 4;
        for (; shift >= 0; shift -= 4)
            out += hex[(c >> shift) & 0xF];
        out += '}';
    }
    out += '"';
    return out;
}

std::string shortest_float_text(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    std::string out = std::signbit(value) ? "-" : "";
    if (value == 0)
        return out + "0.0";

    // The shortest round-trip digits and the decimal exponent of the first one.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    std::string_view text(buffer, std::size_t(result.ptr - buffer));
    std::size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e))
        if (c != '.')
            digits += c;
    int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
    int length = int(digits.size());
    int point = exponent + 1; // digits before the decimal point
    int k = point - length;   // power of ten of the last digit

    if (k >= 0 && point <= 16)
        return out + digits + std::string(std::size_t(k), '0') + ".0";
    if (point > 0 && point <= 16)
        return out + digits.substr(0, std::size_t(point)) + "." + digits.substr(std::size_t(point));
    if (point > -5 && point <= 0)
        return out + "0." + std::string(std::size_t(-point), '0') + digits;
    std::string mantissa = length == 1 ? digits : digits.substr(0, 1) + "." + digits.substr(1);
    return out + mantissa + "e" + std::to_string(point - 1);
}

bool is_blank(std::string_view text)
{
    // Invalid UTF-8 decodes to U+FFFD, which is no white space.
    return platform::trim_unicode_white_space(text).empty();
}

} // namespace torvane
