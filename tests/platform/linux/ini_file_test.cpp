// The config.ini cases of Linux's own: the writer's byte-for-byte rule, files that are no plain
// file, and symbolic links.
#include "platform/files.hpp"
#include "platform/ini_file.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace torvane::platform {
namespace {

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

// The launcher's own writer keeps every other line byte for byte, blank lines, blanks and "\n"
// endings included (the Windows profile functions rewrite them).
TEST(IniFile, WritesInPlaceAndKeepsEachOtherLineByteForByte)
{
    // What the file holds before, and after Limit is set to 360.
    const std::pair<std::string, std::string> writes[] = {
        // the value replaced, comments and other sections kept
        {"; opções do jogo\n[Video]\nLimit=1\n\n[fps]\n  limit = 60 \nOther=2\n",
         "; opções do jogo\n[Video]\nLimit=1\n\n[fps]\n  limit=360\nOther=2\n"},
        // the key added after the section's last line
        {"[FPS]\r\nOther=1\r\n\r\n[Next]\r\nA=1\r\n", "[FPS]\r\nOther=1\r\nLimit=360\r\n\r\n[Next]\r\nA=1\r\n"},
        // the key added to an empty section
        {"[FPS]\n[Next]\n", "[FPS]\nLimit=360\n[Next]\n"},
        // a last line without ending
        {"[FPS]\nLimit=30", "[FPS]\nLimit=360\n"},
        // a comment is not the key
        {"[FPS]\n;Limit=30\n", "[FPS]\n;Limit=30\nLimit=360\n"},
    };
    for (const auto& [before, after] : writes) {
        SCOPED_TRACE(before);
        test::TempDir dir;
        const fs::path file = dir.write("config.ini", before);
        ASSERT_TRUE(ini_write_string(file, "FPS", "Limit", "360"));
        EXPECT_EQ(*read_file(file, document_read_limit), after);
        EXPECT_EQ(ini_read_int(file, "FPS", "Limit", 0), 360);
    }
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
