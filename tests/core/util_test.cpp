#include "core/util.hpp"
#include "core/utf8.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace torvane {
namespace {

TEST(ParseDatetimeMs, ReadsTheOpeningTimeForms)
{
    constexpr std::int64_t dec5_23h = 1796511600000; // 2026-12-05 23:00:00 UTC
    constexpr std::int64_t dec5_midnight = 1796428800000;
    struct Case {
        const char* text;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"2026-12-05T20:00:00-03:00", dec5_23h},
        {"2026-12-05T23:00:00Z", dec5_23h},
        {"2026-12-05 23:00", dec5_23h},
        {"  2026-12-05T23:00:00\t\n", dec5_23h},         // trimmed at both ends
        {"\u00a02026-12-05T23:00:00\u3000", dec5_23h},    // Unicode white space too
        {"2026-12-05", dec5_midnight},
        {"2026-12-05+03:00", dec5_midnight},               // no time part, so no zone is read
        {"2026-12-05T20:00:00.750-03:00", dec5_23h},       // the fraction is ignored
        {"2026-12-05T20:00:00.-03:00", dec5_23h},          // a fraction without digits
        {"2026-12-05T20:00-0330", dec5_23h + 30 * 60000},  // minus three and a half hours
        {"2026-12-05T23:30+0030", dec5_23h},
        {"2026-12-05T20:00:00+03", dec5_23h - 6 * 3600000}, // two bytes after the sign: hours only
        {"2026-12-05T20:00:00+031", dec5_23h - 6 * 3600000},
        {"2026-12-05T23:00:00+00:30junk", dec5_23h - 30 * 60000},
        {"2026/12/05T20h00", dec5_23h - 3 * 3600000},      // separators are not examined
        {"2026-12-05T23:00Zanything", dec5_23h},
        {"2026-12-05T23", dec5_midnight},                  // too short for a time
        {"2026-12-05X23:00:00", dec5_midnight},            // byte 10 is not a time separator
        {"1969-12-31T23:59:59Z", -1000},
        {"2024-02-29T12:00:00", 1709208000000},
        {"2026-13-01", 1798761600000 + 0},                 // month 13 rolls into the next year
        {"20261205", std::nullopt},                        // fewer than 10 bytes
        {"2026-1a-05", std::nullopt},                      // a letter in the month
        {"2026-12-05T2x:00", std::nullopt},
        {"2026-12-05T20:00:0x", std::nullopt},
        {"2026-12-05T20:00:00+", std::nullopt},            // fewer than two bytes after the sign
        {"2026-12-05T20:00:00+3", std::nullopt},
        {"2026-12-05T20:00:00+03:x0", std::nullopt},
        {"2026- 1-05", std::nullopt},                      // a blank is not a sign or a digit
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_datetime_ms(c.text), c.expected) << c.text;
}

TEST(ParseDatetimeMs, SignedFieldsFollowTheFieldRule)
{
    // The year may be a sign and three digits; a sign inside a two-byte field counts too.
    auto year_minus = parse_datetime_ms("-001-01-01");
    auto year_plus = parse_datetime_ms("+970-01-01");
    ASSERT_TRUE(year_minus);
    ASSERT_TRUE(year_plus);
    EXPECT_LT(*year_minus, *year_plus);
    EXPECT_EQ(parse_datetime_ms("1970-+1-+1"), 0);
}

TEST(ParseTwoDigitField, AcceptsDigitsOrASignAndOneDigit)
{
    struct Case {
        const char* field;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"00", 0}, {"07", 7}, {"59", 59}, {"+5", 5}, {"-5", -5}, {"+-", std::nullopt},
        {"5", std::nullopt}, {"123", std::nullopt}, {" 5", std::nullopt}, {"5 ", std::nullopt},
        {"-", std::nullopt}, {"a1", std::nullopt}, {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_two_digit_field(c.field), c.expected) << c.field;
}

TEST(FormatSpeed, UsesKilobytesBelowOneMebibyteAndADecimalComma)
{
    struct Case {
        double rate;
        const char* expected;
    };
    const Case cases[] = {
        {0, ""},
        {-5, ""},
        {std::numeric_limits<double>::quiet_NaN(), ""},
        {std::numeric_limits<double>::infinity(), ""},
        {500 * 1024, "500 KB/s"},
        {100, "0 KB/s"},
        {1536, "2 KB/s"},         // 1.5 rounds to even
        {2560, "2 KB/s"},         // 2.5 rounds to even
        {1048575, "1024 KB/s"},   // just below 1 MiB/s
        {1048576, "1,0 MB/s"},
        {1.5 * 1048576, "1,5 MB/s"},
        {123.46 * 1048576, "123,5 MB/s"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format_speed(c.rate), c.expected) << c.rate;
}

TEST(Utf8Lossy, ReplacesEachMalformedSequence)
{
    struct Case {
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"ç\xF0\x9F\x8E\xAE", "ç\xF0\x9F\x8E\xAE"},
        {"\xC0\x80", "\uFFFD\uFFFD"},         // overlong
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"}, // a surrogate
        {"\xE2\x82", "\uFFFD"},               // truncated: one replacement for the prefix
        {"\xE2\x82x", "\uFFFDx"},
        {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8_lossy(c.bytes), c.expected) << c.bytes;
}

TEST(LowercaseText, LowerCasesEveryScript)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\JOGO\\Main.EXE", "c:\\jogo\\main.exe"},
        {"ÁÉÍÓÚ ÇÃÕ ÄÖÜ Ÿ", "áéíóú çãõ äöü ÿ"},
        {"ẞ", "ß"},
        {"ΑΒΓ ΩΜΕΓΑ", "αβγ ωμεγα"},
        {"ΟΔΟΣ ΣΟΦΟΣ", "οδος σοφος"},     // final sigma at the end of each word
        {"ΑΣ.", "ας."},
        {"Σ", "σ"},                      // no letter before it: not final
        {"ΑΣΑ", "ασα"},
        {"МОСКВА Ёж", "москва ёж"},
        {"İ", "i\u0307"},                // the full mapping, two characters
        {"Ω", "ω"},                      // the ohm sign
        {"\xFF", "\uFFFD"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lowercase_text(c.text), c.expected) << c.text;
}

TEST(ExeDir, IsTheParentOfTheExecutable)
{
    struct Case {
        const char* exe;
        const char* expected;
    };
    const Case cases[] = {
        {"/opt/Jogo/Torvane.exe", "/opt/Jogo"},
        {"Torvane.exe", ""}, // the relative fallback: joins resolve against the current folder
        {"/Torvane.exe", "/"},
        {"/", "."},
        {"", "."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(exe_dir_of(c.exe), std::filesystem::path(c.expected)) << c.exe;

    // This test program lives in the build folder.
    EXPECT_TRUE(current_exe_or_default().is_absolute());
    EXPECT_EQ(std::filesystem::canonical(exe_dir()), std::filesystem::canonical(test::binary_dir()));
}

} // namespace
} // namespace torvane
