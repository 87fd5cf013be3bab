#include "platform/files.hpp"
#include "platform/ini_file.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace torvane::platform {
namespace {

TEST(IniFile, ReadsIntegersAsTheGameDoes)
{
    struct Case {
        const char* label;
        std::optional<std::string> file; // nothing: no file
        std::int32_t expected;
    };
    const Case cases[] = {
        {"plain", "[FPS]\r\nLimit=144\r\n", 144},
        {"case of section and key ignored", "[fps]\nLIMIT=60\n", 60},
        {"blanks around", "  [ FPS ]  \n  Limit  =   240  \n", 240},
        {"plus sign", "[FPS]\nLimit=+7\n", 7},
        {"minus sign", "[FPS]\nLimit=-5\n", -5},
        {"leading digits only", "[FPS]\nLimit=12abc\n", 12},
        {"no digit reads zero", "[FPS]\nLimit=abc\n", 0},
        {"quoted", "[FPS]\nLimit=\"120\"\n", 120},
        {"wraps at 32 bits", "[FPS]\nLimit=4294967297\n", 1},
        {"empty value gives the default", "[FPS]\nLimit=\n", 300},
        {"key without equals gives the default", "[FPS]\nLimit\n", 300},
        {"missing key", "[FPS]\nOther=1\n", 300},
        {"key in another section", "[Video]\nLimit=30\n[FPS]\n", 300},
        {"key before any section", "Limit=30\n[FPS]\n", 300},
        {"comment is not a key", "[FPS]\n;Limit=30\n", 300},
        {"first section and key win", "[FPS]\nLimit=60\nLimit=30\n[FPS]\nLimit=120\n", 60},
        {"byte-order mark", "\xEF\xBB\xBF[FPS]\r\nLimit=360\r\n", 360},
        {"missing section", "[Other]\n", 300},
        {"no file", std::nullopt, 300},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        fs::path file = dir.path() / "config.ini";
        if (c.file) {
            ASSERT_TRUE(write_file(file, *c.file));
        }
        EXPECT_EQ(ini_read_int(file, "FPS", "Limit", 300), c.expected) << c.label;
    }
}

// A config.ini that is endless, blocks or is oversized reads as missing: the default, at once.
TEST(IniFile, AFileThatIsNoPlainFileOrTooLargeGivesTheDefault)
{
    test::TempDir dir;
    const std::filesystem::path file = dir.path() / "Data/Custom/config.ini";
    for (test::FileShape shape : test::all_file_shapes) {
        SCOPED_TRACE(test::file_shape_name(shape));
        test::PlantedFile planted(file, shape, "[FPS]\r\nLimit=144\r\n", document_read_limit, '\n');
        EXPECT_EQ(ini_read_int(file, "FPS", "Limit", 300), shape == test::FileShape::Regular ? 144 : 300);
    }
}

TEST(IniFile, WritesInPlaceAndKeepsEverythingElse)
{
    struct Case {
        const char* label;
        std::optional<std::string> before; // nothing: no file
        std::string after;
    };
    const Case cases[] = {
        {"new file", std::nullopt, "[FPS]\r\nLimit=360\r\n"},
        {"empty file", "", "[FPS]\r\nLimit=360\r\n"},
        {"value replaced, comments and other sections kept",
         "; opções do jogo\n[Video]\nLimit=1\n\n[fps]\n  limit = 60 \nOther=2\n",
         "; opções do jogo\n[Video]\nLimit=1\n\n[fps]\n  limit=360\nOther=2\n"},
        {"key added after the section's last line", "[FPS]\r\nOther=1\r\n\r\n[Next]\r\nA=1\r\n",
         "[FPS]\r\nOther=1\r\nLimit=360\r\n\r\n[Next]\r\nA=1\r\n"},
        {"key added to an empty section", "[FPS]\n[Next]\n", "[FPS]\nLimit=360\n[Next]\n"},
        {"section added after a last line without ending", "[A]\r\nB=1", "[A]\r\nB=1\r\n[FPS]\r\nLimit=360\r\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[FPS]\r\nLimit=30\r\n", "\xEF\xBB\xBF[FPS]\r\nLimit=360\r\n"},
        {"last line without ending", "[FPS]\nLimit=30", "[FPS]\nLimit=360\n"},
        {"comment is not the key", "[FPS]\n;Limit=30\n", "[FPS]\n;Limit=30\nLimit=360\n"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        fs::path file = dir.path() / "config.ini";
        if (c.before) {
            ASSERT_TRUE(write_file(file, *c.before));
        }
        ASSERT_TRUE(ini_write_string(file, "FPS", "Limit", "360")) << c.label;
        EXPECT_EQ(*read_file(file, document_read_limit), c.after) << c.label;
        EXPECT_EQ(ini_read_int(file, "FPS", "Limit", 0), 360) << c.label;
    }
}

TEST(IniFile, RefusesWhatWouldDamageTheFile)
{
    test::TempDir dir;
    fs::path file = dir.write("config.ini", "[FPS]\nLimit=30\n");

    EXPECT_FALSE(ini_write_string(file, "FPS", "Limit", "60\n[Evil]"));
    EXPECT_FALSE(ini_write_string(file, "FPS", "Li=mit", "60"));
    EXPECT_FALSE(ini_write_string(file, "F]PS", "Limit", "60"));
    ASSERT_TRUE(set_read_only(file, true));
    auto refused = ini_write_string(file, "FPS", "Limit", "60");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "Permission denied (os error 13)");
    EXPECT_EQ(*read_file(file, document_read_limit), "[FPS]\nLimit=30\n");

    EXPECT_FALSE(ini_write_string(dir.path() / "missing" / "config.ini", "FPS", "Limit", "60"));
}

TEST(IniFile, WritesThroughASymbolicLink)
{
    test::TempDir dir;
    fs::path target = dir.write("real.ini", "[FPS]\nLimit=30\n");
    fs::path link = dir.path() / "config.ini";
    fs::create_symlink(target, link);
    ASSERT_TRUE(ini_write_string(link, "FPS", "Limit", "144"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(*read_file(target, document_read_limit), "[FPS]\nLimit=144\n");
}

} // namespace
} // namespace torvane::platform
