#include "platform/unicode.hpp"

#include "platform/text.hpp"

#include <algorithm>

namespace torvane::platform {

char32_t decode_utf8(std::string_view text, std::size_t& at)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    int length = 0;
    char32_t code = 0;
    unsigned char second_low = 0x80, second_high = 0xBF; // overlong forms and surrogates excluded
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            second_low = 0xA0;
        if (lead == 0xED)
            second_high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            second_low = 0x90;
        if (lead == 0xF4)
            second_high = 0x8F;
    } else {
        ++at;
        return replacement_character;
    }
    std::size_t i = at + 1;
    for (int k = 1; k < length; ++k, ++i) {
        unsigned char low = k == 1 ? second_low : 0x80;
        unsigned char high = k == 1 ? second_high : 0xBF;
        if (i >= text.size() || byte(i) < low || byte(i) > high) {
            at = i;
            return replacement_character;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    at = i;
    return code;
}

void append_utf8(std::string& out, char32_t code)
{
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        code = replacement_character;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string utf8_lossy(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();)
        append_utf8(out, decode_utf8(bytes, at));
    return out;
}

WideString to_wide(std::string_view utf8)
{
    WideString units;
    units.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t code = decode_utf8(utf8, at);
        if (code >= 0x10000) {
            code -= 0x10000;
            units += static_cast<WideChar>(0xD800 + (code >> 10));
            units += static_cast<WideChar>(0xDC00 + (code & 0x3FF));
        } else {
            units += static_cast<WideChar>(code);
        }
    }
    return units;
}

std::string utf8_from_wide(std::basic_string_view<WideChar> wide)
{
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const auto unit = static_cast<char32_t>(static_cast<char16_t>(wide[i]));
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size()) {
            const auto low = static_cast<char32_t>(static_cast<char16_t>(wide[i + 1]));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        // append_utf8 writes a lone surrogate as U+FFFD.
        append_utf8(out, unit);
    }
    return out;
}

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower_ascii(x) == lower_ascii(y); });
}

bool is_unicode_white_space(char32_t code)
{
    return (code >= 0x09 && code <= 0x0D) || code == 0x20 || code == 0x85 || code == 0xA0 || code == 0x1680 ||
           (code >= 0x2000 && code <= 0x200A) || code == 0x2028 || code == 0x2029 || code == 0x202F ||
           code == 0x205F || code == 0x3000;
}

std::string_view trim_unicode_white_space(std::string_view text)
{
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t next = begin;
        if (!is_unicode_white_space(decode_utf8(text, next)))
            break;
        begin = next;
    }
    std::size_t end = begin;
    for (std::size_t at = begin; at < text.size();) {
        if (!is_unicode_white_space(decode_utf8(text, at)))
            end = at;
    }
    return text.substr(begin, end - begin);
}

} // namespace torvane::platform
