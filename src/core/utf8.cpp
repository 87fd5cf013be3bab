#include "core/utf8.hpp"

namespace torvane {

char32_t next_utf8_character(std::string_view& bytes)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = byte(0);
    if (lead < 0x80) {
        bytes.remove_prefix(1);
        return lead;
    }
    std::size_t length;
    char32_t value;
    // The allowed range of the second byte narrows for E0, ED, F0 and F4 so that overlong forms,
    // surrogates and values above U+10FFFF are rejected at their first invalid byte.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        bytes.remove_prefix(1);
        return replacement_character;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= bytes.size() || byte(i) < low || byte(i) > high) {
            bytes.remove_prefix(i);
            return replacement_character;
        }
        value = (value << 6) | (byte(i) & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    bytes.remove_prefix(length);
    return value;
}

void append_utf8(std::string& out, char32_t c)
{
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        c = replacement_character;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf8_lossy(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty())
        append_utf8(out, next_utf8_character(bytes));
    return out;
}

} // namespace torvane
