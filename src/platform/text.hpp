// Small ASCII text helpers shared by the parsers of every layer.
#pragma once

namespace torvane::platform {

// The value of a hexadecimal digit of either case, or -1 for any other character.
constexpr int hex_digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// An ASCII upper-case letter in lower case; every other byte as it is.
constexpr char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace torvane::platform
