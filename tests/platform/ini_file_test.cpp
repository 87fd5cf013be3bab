// The game's config.ini as both builds read and write it (on Windows through the profile
// functions, on Linux through the launcher's own reader).
#include "platform/files.hpp"
#include "platform/ini_file.hpp"
#include "support/system_error_texts.hpp"
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

TEST(IniFile, SectionsAndKeysCompareWithoutCaseAndTheFirstMatchWins)
{
    test::TempDir dir;
    fs::path ini = dir.write("config.ini", "[Other]\r\nLimit=1\r\n[FPS]\r\nLimit=144\r\nlimit=60\r\n[fps]\r\nLimit=30\r\n");
    EXPECT_EQ(ini_read_int(ini, "fps", "LIMIT", 300), 144);
    EXPECT_EQ(ini_read_string(ini, "FPS", "limit"), "144");
    EXPECT_EQ(ini_read_int(ini, "Other", "Limit", 300), 1);
}

TEST(IniFile, ValuesNumbersAndDefaults)
{
    test::TempDir dir;
    fs::path ini = dir.write("config.ini",
                             "[FPS]\r\nQuoted=\"75\"\r\nSingle='90'\r\nBlanks=   120   \r\nSigned=-45\r\nEmpty=\r\n"
                             "Trailing=60fps\r\n");
    struct Case {
        const char* key;
        std::optional<std::string> text;
        std::int32_t number;
    };
    const Case cases[] = {
        {"Quoted", "75", 75},     {"Single", "90", 90},        {"Blanks", "120", 120}, {"Signed", "-45", -45},
        {"Empty", "", 300},       {"Trailing", "60fps", 60},   {"Missing", std::nullopt, 300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ini_read_string(ini, "FPS", c.key), c.text) << c.key;
        EXPECT_EQ(ini_read_int(ini, "FPS", c.key, 300), c.number) << c.key;
    }
    EXPECT_EQ(ini_read_int(ini, "Missing", "Limit", 300), 300);
    EXPECT_EQ(ini_read_int(dir.path() / "missing.ini", "FPS", "Limit", 300), 300);
    EXPECT_EQ(ini_read_string(dir.path() / "missing.ini", "FPS", "Limit"), std::nullopt);
}

TEST(IniFile, AnExistingKeyIsUpdatedInPlaceAndEveryOtherLineKept)
{
    test::TempDir dir;
    fs::path ini = dir.write("config.ini", "[Video]\r\nWidth=800\r\n[FPS]\r\nlimit=60\r\nVSync=1\r\n[Sound]\r\nOn=1\r\n");
    ASSERT_TRUE(ini_write_string(ini, "fps", "Limit", "144"));
    EXPECT_EQ(*read_file(ini, platform::document_read_limit), "[Video]\r\nWidth=800\r\n[FPS]\r\nlimit=144\r\nVSync=1\r\n[Sound]\r\nOn=1\r\n");
}

TEST(IniFile, AMissingKeySectionOrFileIsCreated)
{
    test::TempDir dir;
    fs::path ini = dir.write("config.ini", "[FPS]\r\nVSync=1\r\n[Sound]\r\nOn=1\r\n");
    ASSERT_TRUE(ini_write_string(ini, "FPS", "Limit", "30"));
    ASSERT_TRUE(ini_write_string(ini, "Video", "Width", "1024"));
    EXPECT_EQ(ini_read_int(ini, "FPS", "Limit", 300), 30);
    EXPECT_EQ(ini_read_int(ini, "FPS", "VSync", 0), 1);
    EXPECT_EQ(ini_read_int(ini, "Sound", "On", 0), 1);
    EXPECT_EQ(ini_read_int(ini, "Video", "Width", 0), 1024);
    std::string text = *read_file(ini, platform::document_read_limit);
    EXPECT_LT(text.find("Limit=30"), text.find("[Sound]")) << "the key joins its own section:\n" << text;

    fs::path created = dir.path() / "Data" / "config.ini";
    ASSERT_TRUE(create_folders(created.parent_path()));
    ASSERT_TRUE(ini_write_string(created, "FPS", "Limit", "60"));
    EXPECT_EQ(ini_read_int(created, "FPS", "Limit", 300), 60);
    EXPECT_NE(read_file(created, platform::document_read_limit)->find("[FPS]\r\nLimit=60\r\n"), std::string::npos) << *read_file(created, platform::document_read_limit);
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
        {"section added after a last line without ending", "[A]\r\nB=1", "[A]\r\nB=1\r\n[FPS]\r\nLimit=360\r\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[FPS]\r\nLimit=30\r\n", "\xEF\xBB\xBF[FPS]\r\nLimit=360\r\n"},
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
    for (const char* before : {"[FPS]\nLimit=30\n", "[FPS]\r\nLimit=60\r\n"}) {
        SCOPED_TRACE(before);
        test::TempDir dir;
        fs::path file = dir.write("config.ini", before);

        EXPECT_FALSE(ini_write_string(file, "FPS", "Limit", "60\n[Evil]"));
        EXPECT_FALSE(ini_write_string(file, "FPS", "Limit", "60\r\n[Evil]"));
        EXPECT_FALSE(ini_write_string(file, "FPS\n", "Limit", "1"));
        EXPECT_FALSE(ini_write_string(file, "FPS", "Li=mit", "60"));
        EXPECT_FALSE(ini_write_string(file, "F]PS", "Limit", "60"));
        ASSERT_TRUE(set_read_only(file, true));
        auto refused = ini_write_string(file, "FPS", "Limit", "144");
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error(), test::system_error_texts().access_denied);
        EXPECT_EQ(*read_file(file, document_read_limit), before);

        EXPECT_FALSE(ini_write_string(dir.path() / "missing" / "config.ini", "FPS", "Limit", "60"));
    }
}

} // namespace
} // namespace torvane::platform
