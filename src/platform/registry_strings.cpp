#include "platform/registry.hpp"
#include "platform/unicode.hpp"

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
    for (WideChar unit : to_wide(utf8))
        append_utf16le(out, static_cast<char16_t>(unit));
    append_utf16le(out, 0);
    return out;
}

std::string registry_string_text(std::string_view bytes)
{
    WideString units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (unit == 0)
            break;
        units += static_cast<WideChar>(unit);
    }
    return utf8_from_wide(units);
}

} // namespace torvane::platform
