#include "platform/unicode.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

TEST(Utf8Lossy, ReplacesEachInvalidSequence)
{
    struct Case {
        const char* label;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"valid text unchanged", "Português ✓ \xF0\x9F\x98\x80", "Português ✓ \xF0\x9F\x98\x80"},
        {"stray continuation", "a\x80z", "a\xEF\xBF\xBDz"},
        {"truncated sequence before ASCII", "\xE2\x82z", "\xEF\xBF\xBDz"},
        {"truncated four-byte sequence", "\xF0\x9F\x98", "\xEF\xBF\xBD"},
        {"overlong form", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"encoded surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"NUL kept", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8_lossy(c.bytes), c.text) << c.label;
}

TEST(ToWide, EncodesUtf16WithOneTerminatingZero)
{
    struct Case {
        const char* utf8;
        std::u16string expected;
    };
    const Case cases[] = {
        {"", u""},
        {"Global\\Lock", u"Global\\Lock"},
        {"ação", {'a', 0xE7, 0xE3, 'o'}},
        {"\xE2\x82\xAC", {0x20AC}},
        {"\xF0\x9F\x8E\xAE", {0xD83C, 0xDFAE}}, // above U+FFFF: a surrogate pair
        {"a\xFF" "b", {'a', 0xFFFD, 'b'}},      // malformed bytes
    };
    for (const Case& c : cases) {
        const WideString wide = to_wide(c.utf8);
        EXPECT_EQ(std::u16string(wide.begin(), wide.end()), c.expected) << c.utf8;
        EXPECT_EQ(wide.c_str()[wide.size()], 0) << c.utf8;
    }
}

// Back to UTF-8, as the texts of Windows calls and registry strings come: pairs join, a lone
// surrogate becomes U+FFFD.
TEST(Utf8FromWide, JoinsPairsAndReplacesLoneSurrogates)
{
    struct Case {
        std::u16string units;
        const char* utf8;
    };
    const Case cases[] = {
        {u"a\u00E7\u20AC", "a\xC3\xA7\xE2\x82\xAC"},
        {{0xD83C, 0xDFAE}, "\xF0\x9F\x8E\xAE"},
        {{'a', 0xD83C}, "a\xEF\xBF\xBD"},           // a high surrogate at the end
        {{0xD83C, 'b'}, "\xEF\xBF\xBD" "b"},         // followed by no low one
        {{0xDFAE, 0xD83C}, "\xEF\xBF\xBD\xEF\xBF\xBD"}, // low before high
    };
    for (const Case& c : cases) {
        const WideString units(c.units.begin(), c.units.end());
        EXPECT_EQ(utf8_from_wide(units), c.utf8) << c.utf8;
    }
}

TEST(UnicodeWhiteSpace, TrimsEveryKindAtBothEnds)
{
    EXPECT_EQ(trim_unicode_white_space(" \t\u00A0\u3000 7 \u2028\r\n"), "7");
    EXPECT_EQ(trim_unicode_white_space("a b"), "a b");
    EXPECT_EQ(trim_unicode_white_space("\u200B7"), "\u200B7") << "a zero-width space is not white space";
    EXPECT_EQ(trim_unicode_white_space("  "), "");
}

} // namespace
} // namespace torvane::platform
