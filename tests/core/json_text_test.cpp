#include "core/json_text.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace torvane {
namespace {

TEST(ShortestFloatText, PicksThePlainOrExponentForm)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {12.0, "12.0"},
        {1.5, "1.5"},
        {-0.0, "-0.0"},
        {0.0, "0.0"},
        {1e15, "1000000000000000.0"},
        {1e16, "1e16"},
        {123456789012345.6, "123456789012345.6"},
        {18446744073709551616.0, "1.8446744073709552e19"},
        {-9223372036854775809.0, "-9.223372036854776e18"},
        {1e300, "1e300"},
        {0.001, "0.001"},
        {0.00001, "0.00001"},
        {0.000001, "1e-6"},
        {1.25e-7, "1.25e-7"},
        {std::numeric_limits<double>::denorm_min(), "5e-324"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shortest_float_text(c.value), c.text) << c.text;
}

TEST(DebugQuoted, EscapesWhatDoesNotPrint)
{
    struct Case {
        std::string text;
        const char* quoted;
    };
    const Case cases[] = {
        {"plain", R"("plain")"},
        {"it's", R"("it's")"},
        {"a\"b\\c", R"("a\"b\\c")"},
        {"\n\r\t", R"("\n\r\t")"},
        {std::string("\0\x1b\x7f", 3), R"("\0\u{1b}\u{7f}")"},
        {"Versão · diário", R"("Versão · diário")"},
        {"a\u00a0b\u200bc\u2028", R"("a\u{a0}b\u{200b}c\u{2028}")"},
        {"e\u0301", R"("e\u{301}")"},
        {"\U0001F600", "\"\U0001F600\""},
        {"\U000F0000", R"("\u{f0000}")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(debug_quoted(c.text), c.quoted) << c.quoted;
}

TEST(IsBlank, UsesUnicodeWhiteSpace)
{
    struct Case {
        std::string text;
        bool blank;
    };
    const Case cases[] = {
        {"", true},
        {"   ", true},
        {" \t\r\n\v\f", true},
        {"\u00a0\u3000\u2009\u0085", true},
        {"\u200b", false}, // zero-width space is not white space
        {"\xEF\xBB\xBF", false},
        {" a ", false},
        {"\xFF", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_blank(c.text), c.blank) << c.text;
}

TEST(IsValidUtf8, RefusesMalformedSequences)
{
    EXPECT_TRUE(is_valid_utf8("ascii é \u20ac \U0010FFFF"));
    for (std::string bad : {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\x80", "\xFF", "\xE2\x82"})
        EXPECT_FALSE(is_valid_utf8(bad));
}

} // namespace
} // namespace torvane
