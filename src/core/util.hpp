// Small helpers shared by the subsystems: where the launcher lives, the opening date-time and
// decimal number readers, the transfer-rate text and full Unicode lower-casing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

namespace fs = std::filesystem;

// Name of the launcher's executable when its own path cannot be determined.
inline constexpr const char default_exe_name[] = "Torvane.exe";

// The running executable's full path; the relative path "Torvane.exe" when it cannot be determined.
fs::path current_exe_or_default();

// The folder an executable path lives in: its parent (the empty path, meaning the current folder,
// for a bare file name); "." when the path has no parent at all (a bare root, or empty).
fs::path exe_dir_of(const fs::path& exe);

// BaseDir: exe_dir_of(current_exe_or_default()).
fs::path exe_dir();

// A two-byte field: "dd" gives 10 x d1 + d2, "+d" gives d, "-d" gives -d; anything else is none.
std::optional<int> parse_two_digit_field(std::string_view field);

// Reads an opening time such as "2026-12-05T20:00:00-03:00" (fixed byte positions after trimming
// white space; seconds, fractions and the zone are optional) as Unix time in milliseconds. None
// when the text is shorter than a date or a field is not a signed decimal number.
std::optional<std::int64_t> parse_datetime_ms(std::string_view text);

// The whole text as a 32-bit float in decimal notation: optional sign, digits with an optional
// point (at least one digit on either side), an optional exponent; or inf, infinity, nan in any
// letter case. Correctly rounded; too large gives infinity, too small zero. None for anything else
// (a comma is not a decimal point; no blanks, no hexadecimal).
std::optional<float> parse_decimal_float(std::string_view text);

// Transfer-rate text with a decimal comma: "" for no rate, "500 KB/s" below 1 MiB/s, "1,5 MB/s"
// from 1 MiB/s on.
std::string format_speed(double bytes_per_second);

// Full Unicode lower-casing of UTF-8 text (malformed sequences become U+FFFD).
std::string lowercase_text(std::string_view utf8);

} // namespace torvane
