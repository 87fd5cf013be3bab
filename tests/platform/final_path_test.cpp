#include "platform/final_path.hpp"

#include "platform/path_text.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

// A final path's prefix goes; a network share keeps its two leading backslashes.
TEST(WithoutExtendedPrefix, DropsThePrefixOfLocalAndNetworkPaths)
{
    struct Case {
        const char* given;
        const char* expected;
    };
    const Case cases[] = {
        {R"(\\?\C:\Jogos\Torvane)", R"(C:\Jogos\Torvane)"},
        {R"(\\?\UNC\servidor\jogos\Torvane)", R"(\\servidor\jogos\Torvane)"},
        {R"(C:\Jogos\Torvane)", R"(C:\Jogos\Torvane)"},
        {R"(\\servidor\jogos)", R"(\\servidor\jogos)"},
        {"/home/jogador/Torvane", "/home/jogador/Torvane"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        EXPECT_EQ(path_utf8(without_extended_prefix(utf8_path(c.given))), c.expected);
    }
}

} // namespace
} // namespace torvane::platform
