#include "core/util.hpp"

#include "core/utf8.hpp"
#include "platform/case_mapping.hpp"
#include "platform/files.hpp"
#include "platform/unicode.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace torvane {

using platform::is_cased;
using platform::simple_lowercase;

fs::path current_exe_or_default()
{
    fs::path exe = platform::executable_path();
    return exe.empty() ? fs::path(default_exe_name) : exe;
}

fs::path exe_dir_of(const fs::path& exe)
{
    if (exe.empty() || (exe.has_root_path() && !exe.has_relative_path()))
        return ".";
    return exe.parent_path();
}

fs::path exe_dir() { return exe_dir_of(current_exe_or_default()); }

namespace {

// An optional "+" or "-" followed by at least one digit and nothing else.
std::optional<int> parse_signed_field(std::string_view field)
{
    bool negative = false;
    if (!field.empty() && (field[0] == '+' || field[0] == '-')) {
        negative = field[0] == '-';
        field.remove_prefix(1);
    }
    if (field.empty())
        return std::nullopt;
    int value = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days from 1970-01-01 to the date in the proleptic Gregorian calendar. Months outside 1..12 roll
// into neighbouring years and days outside a month roll into neighbouring months.
std::int64_t days_from_civil(std::int64_t year, std::int64_t month, std::int64_t day)
{
    std::int64_t years_over = floor_div(month - 1, 12);
    year += years_over;
    month -= 12 * years_over;
    year -= month <= 2;
    std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    std::int64_t year_of_era = year - era * 400;
    std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
    std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468 + (day - 1);
}

} // namespace

std::optional<int> parse_two_digit_field(std::string_view field)
{
    if (field.size() != 2)
        return std::nullopt;
    return parse_signed_field(field);
}

std::optional<std::int64_t> parse_datetime_ms(std::string_view text)
{
    std::string_view t = platform::trim_unicode_white_space(text);
    if (t.size() < 10)
        return std::nullopt;
    auto year = parse_signed_field(t.substr(0, 4));
    auto month = parse_two_digit_field(t.substr(5, 2));
    auto day = parse_two_digit_field(t.substr(8, 2));
    if (!year || !month || !day)
        return std::nullopt;

    int hour = 0, minute = 0, second = 0, offset_minutes = 0;
    if (t.size() >= 16 && (t[10] == 'T' || t[10] == ' ')) {
        auto h = parse_two_digit_field(t.substr(11, 2));
        auto m = parse_two_digit_field(t.substr(14, 2));
        if (!h || !m)
            return std::nullopt;
        hour = *h;
        minute = *m;
        std::size_t p = 16;
        if (t.size() >= 19 && t[16] == ':') {
            auto s = parse_two_digit_field(t.substr(17, 2));
            if (!s)
                return std::nullopt;
            second = *s;
            p = 19;
            if (p < t.size() && t[p] == '.') {
                ++p;
                while (p < t.size() && is_digit(t[p]))
                    ++p;
            }
        }
        if (p < t.size() && (t[p] == '+' || t[p] == '-')) {
            std::size_t following = t.size() - p - 1;
            if (following < 2)
                return std::nullopt;
            auto offset_hours = parse_two_digit_field(t.substr(p + 1, 2));
            if (!offset_hours)
                return std::nullopt;
            int offset_mins = 0;
            if (following == 4 || following >= 5) {
                // +0300 has its minutes right after the hours; +03:00 one byte further on.
                auto m = parse_two_digit_field(t.substr(following == 4 ? p + 3 : p + 4, 2));
                if (!m)
                    return std::nullopt;
                offset_mins = *m;
            }
            offset_minutes = *offset_hours * 60 + offset_mins;
            if (t[p] == '-')
                offset_minutes = -offset_minutes;
        }
        // Any other byte at p (such as "Z") means UTC and ends the text.
    }
    std::int64_t seconds = days_from_civil(*year, *month, *day) * 86400 + hour * 3600 + minute * 60 +
                           second - std::int64_t(offset_minutes) * 60;
    return seconds * 1000;
}

namespace {

// Digits with an optional point (at least one digit in all), then an optional exponent with at
// least one digit; the sign is already removed.
bool is_decimal_number(std::string_view text)
{
    std::size_t i = 0, digits = 0;
    while (i < text.size() && is_digit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponent_digits = 0;
        while (i < text.size() && is_digit(text[i]))
            ++i, ++exponent_digits;
        if (exponent_digits == 0)
            return false;
    }
    return i == text.size();
}

// The float nearest a decimal number (as is_decimal_number accepts it) that lies outside the range
// of float: infinity when too large, zero or a subnormal when too small.
float out_of_range_float(std::string_view text)
{
    double wide = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), wide);
    if (error == std::errc() && end == text.data() + text.size()) {
        if (std::fabs(wide) > std::numeric_limits<float>::max())
            return std::numeric_limits<float>::infinity();
        return static_cast<float>(wide);
    }
    // Outside double's range too: the decimal exponent of the first significant digit decides.
    long exponent = 0;
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    if (e != std::string_view::npos) {
        std::string_view digits = text.substr(e + 1);
        const bool negative = digits.starts_with('-');
        if (digits.starts_with('-') || digits.starts_with('+'))
            digits.remove_prefix(1);
        for (char c : digits)
            exponent = std::min(exponent * 10 + (c - '0'), 1000000L);
        if (negative)
            exponent = -exponent;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return 0;
    const long position = first < point ? static_cast<long>(point - first) : -static_cast<long>(first - point - 1);
    return exponent + position > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
}

} // namespace

std::optional<float> parse_decimal_float(std::string_view text)
{
    bool negative = false;
    std::string_view body = text;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    float value = 0;
    if (platform::equal_ignoring_ascii_case(body, "inf") || platform::equal_ignoring_ascii_case(body, "infinity")) {
        value = std::numeric_limits<float>::infinity();
    } else if (platform::equal_ignoring_ascii_case(body, "nan")) {
        value = std::numeric_limits<float>::quiet_NaN();
    } else if (is_decimal_number(body)) {
        auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
        if (error == std::errc::result_out_of_range) {
            // Too large becomes infinity, too small zero, as decimal-to-float rounding gives.
            value = out_of_range_float(body);
        } else if (error != std::errc() || end != body.data() + body.size()) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::string format_speed(double v)
{
    // A rate that is not a finite number is no rate either.
    if (!std::isfinite(v) || v <= 0)
        return {};
    char buffer[64];
    if (v >= 1048576)
        std::snprintf(buffer, sizeof buffer, "%.1f MB/s", v / 1048576);
    else
        std::snprintf(buffer, sizeof buffer, "%.0f KB/s", v / 1024);
    std::string text = buffer;
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

namespace {

// Characters skipped when looking for the letters around a sigma: apostrophes, periods, colons,
// modifier accents and the combining marks used with Latin, Greek and Cyrillic text.
bool is_case_ignorable(char32_t c)
{
    return c == 0x27 || c == 0x2E || c == 0x3A || c == 0x5E || c == 0x60 || c == 0xA8 || c == 0xAD ||
           c == 0xAF || c == 0xB4 || c == 0xB7 || c == 0xB8 || c == 0x2019 || c == 0x0387 ||
           (c >= 0x02B0 && c <= 0x036F) || (c >= 0x0483 && c <= 0x0489) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x200B && c <= 0x200D) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

// Capital sigma lower-cases to final sigma when a cased letter comes before it and none after it
// (case-ignorable characters in between are skipped).
bool is_final_sigma(const std::u32string& text, std::size_t i)
{
    std::size_t before = i;
    while (before > 0 && is_case_ignorable(text[before - 1]))
        --before;
    if (before == 0 || !is_cased(text[before - 1]))
        return false;
    std::size_t after = i + 1;
    while (after < text.size() && is_case_ignorable(text[after]))
        ++after;
    return after == text.size() || !is_cased(text[after]);
}

} // namespace

std::string lowercase_text(std::string_view utf8)
{
    std::u32string characters;
    while (!utf8.empty())
        characters += next_utf8_character(utf8);
    std::string out;
    out.reserve(characters.size());
    for (std::size_t i = 0; i < characters.size(); ++i) {
        char32_t c = characters[i];
        if (c == 0x0130) { // capital I with dot above: "i" and a combining dot
            append_utf8(out, U'i');
            append_utf8(out, 0x0307);
        } else if (c == 0x03A3) {
            append_utf8(out, is_final_sigma(characters, i) ? 0x03C2 : 0x03C3);
        } else {
            append_utf8(out, simple_lowercase(c));
        }
    }
    return out;
}

} // namespace torvane
