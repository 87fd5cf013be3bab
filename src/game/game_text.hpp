// Small text rules shared by the game settings, their lists and the status probe.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace torvane {

// A decimal signed 32-bit number written as one optional "+" or "-" and then only the digits 0-9;
// nothing for an empty text, a lone sign, any other character or an overflow.
std::optional<std::int32_t> parse_decimal_i32(std::string_view text);

// The text with surrounding Unicode white space removed, parsed by parse_decimal_i32.
std::optional<std::int32_t> parse_trimmed_i32(std::string_view text);

} // namespace torvane
