#include "platform/registry.hpp"
#include "platform/unicode.hpp"

#include <vector>

namespace torvane::platform {

namespace {

void append_utf16le(std::string& out, char16_t unit)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

} // namespace

std::string registry_string_bytes(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() * 2 + 2);
    for (char16_t unit : utf16_units(utf8))
        append_utf16le(out, unit);
    append_utf16le(out, 0);
    return out;
}

std::string registry_string_text(std::string_view bytes)
{
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto unit = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                               (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            append_utf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            append_utf8(out, replacement_character);
        } else {
            append_utf8(out, unit);
        }
    }
    return out;
}

} // namespace torvane::platform
