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

TEST(UnicodeWhiteSpace, TrimsEveryKindAtBothEnds)
{
    EXPECT_EQ(trim_unicode_white_space(" \t\u00A0\u3000 7 \u2028\r\n"), "7");
    EXPECT_EQ(trim_unicode_white_space("a b"), "a b");
    EXPECT_EQ(trim_unicode_white_space("\u200B7"), "\u200B7") << "a zero-width space is not white space";
    EXPECT_EQ(trim_unicode_white_space("  "), "");
}

} // namespace
} // namespace torvane::platform
