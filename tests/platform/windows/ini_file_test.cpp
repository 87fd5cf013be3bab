#include "platform/files.hpp"
#include "platform/ini_file.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <windows.h>

namespace torvane::platform {
namespace {

TEST(WindowsIniFile, SectionsAndKeysCompareWithoutCaseAndTheFirstMatchWins)
{
    test::TempDir dir;
    fs::path ini = dir.write("config.ini", "[Other]\r\nLimit=1\r\n[FPS]\r\nLimit=144\r\nlimit=60\r\n[fps]\r\nLimit=30\r\n");
    EXPECT_EQ(ini_read_int(ini, "fps", "LIMIT", 300), 144);
    EXPECT_EQ(ini_read_string(ini, "FPS", "limit"), "144");
    EXPECT_EQ(ini_read_int(ini, "Other", "Limit", 300), 1);
}

TEST(WindowsIniFile, ValuesNumbersAndDefaults)
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

TEST(WindowsIniFile, AnExistingKeyIsUpdatedInPlaceAndEveryOtherLineKept)
{
    test::TempDir dir;
    fs::path ini = dir.write("config.ini", "[Video]\r\nWidth=800\r\n[FPS]\r\nlimit=60\r\nVSync=1\r\n[Sound]\r\nOn=1\r\n");
    ASSERT_TRUE(ini_write_string(ini, "fps", "Limit", "144"));
    EXPECT_EQ(*read_file(ini, platform::document_read_limit), "[Video]\r\nWidth=800\r\n[FPS]\r\nlimit=144\r\nVSync=1\r\n[Sound]\r\nOn=1\r\n");
}

TEST(WindowsIniFile, AMissingKeySectionOrFileIsCreated)
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

TEST(WindowsIniFile, LineBreaksAndReadOnlyFilesAreRefused)
{
    test::TempDir dir;
    fs::path ini = dir.write("config.ini", "[FPS]\r\nLimit=60\r\n");
    EXPECT_FALSE(ini_write_string(ini, "FPS", "Limit", "60\r\n[Evil]"));
    EXPECT_FALSE(ini_write_string(ini, "FPS\n", "Limit", "1"));
    EXPECT_FALSE(ini_write_string(ini, "FPS", "Li=mit", "1"));
    ASSERT_TRUE(set_read_only(ini, true));
    Status refused = ini_write_string(ini, "FPS", "Limit", "144");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), os_error_text(ERROR_ACCESS_DENIED));
    EXPECT_EQ(*read_file(ini, platform::document_read_limit), "[FPS]\r\nLimit=60\r\n");
}

} // namespace
} // namespace torvane::platform
