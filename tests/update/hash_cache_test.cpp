#include "update/hash_cache.hpp"

#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace torvane {
namespace {

TEST(HashCacheKey, JoinsSlashPathSizeAndTicks)
{
    platform::FileInfo info {.kind = platform::FileKind::Regular, .size = 1234, .modified_ticks = 638000000000000000};
    EXPECT_EQ(hash_cache_key("Data\\Local\\a.bmd", info), "Data/Local/a.bmd|1234|638000000000000000");
    EXPECT_EQ(hash_cache_key("Main.exe", {.size = 0, .modified_ticks = 0}), "Main.exe|0|0");
}

TEST(HashCacheKey, CountsModificationTimeInTicksSinceYearOne)
{
    test::TempDir dir;
    auto file = dir.write("a.txt", "abc");
    // 2001-09-09 01:46:40 UTC and a quarter second.
    timespec times[2] = {{1000000000, 250000000}, {1000000000, 250000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    auto info = platform::file_info(file, platform::FollowLinks::No);
    ASSERT_TRUE(info);
    EXPECT_EQ(hash_cache_key("a.txt", *info), "a.txt|3|631355968002500000");
}

TEST(LoadHashCache, ReadsToleratingOddLines)
{
    struct Case {
        const char* name;
        std::string text;
        HashCache expected;
    };
    const Case cases[] = {
        {"crlf lines", "a|1|2\tff\r\nb|3|4\tee\r\n", {{"a|1|2", "ff"}, {"b|3|4", "ee"}}},
        {"lf lines and no final break", "a\tff\nb\tee", {{"a", "ff"}, {"b", "ee"}}},
        {"line without a tab skipped", "junk\r\na\tff\r\n", {{"a", "ff"}}},
        {"empty value", "a\t\r\n", {{"a", ""}}},
        {"several carriage returns", "a\tff\r\r\r\n", {{"a", "ff"}}},
        {"further tabs stay in the value", "a\tff\tgg\r\n", {{"a", "ff\tgg"}}},
        {"later line wins", "a\tff\r\na\tee\r\n", {{"a", "ee"}}},
        {"empty lines", "\r\n\n\r\n", {}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        dir.write("Data/Launcher/hashes.cache", c.text);
        EXPECT_EQ(load_hash_cache(dir.path()), c.expected);
    }
}

TEST(LoadHashCache, MissingOrUnreadableFileIsEmpty)
{
    test::TempDir dir;
    EXPECT_TRUE(load_hash_cache(dir.path()).empty());
    std::filesystem::create_directories(hash_cache_path(dir.path())); // a folder in its place
    EXPECT_TRUE(load_hash_cache(dir.path()).empty());
}

// An endless, blocking or oversized cache file is a damaged one: empty, at once.
TEST(LoadHashCache, AFileThatIsNoPlainFileOrTooLargeIsEmpty)
{
    test::TempDir dir;
    const std::string text = "Data/a.bin|3|42\tabc\r\n";
    for (test::FileShape shape : test::all_file_shapes) {
        SCOPED_TRACE(test::file_shape_name(shape));
        test::PlantedFile planted(hash_cache_path(dir.path()), shape, text, hash_cache_read_limit, '\n');
        EXPECT_EQ(load_hash_cache(dir.path()).size(), shape == test::FileShape::Regular ? 1u : 0u);
    }
}

TEST(SaveHashCache, WritesCrlfLinesAndCreatesTheFolder)
{
    test::TempDir dir;
    HashCache cache {{"b|2|3", "ee"}, {"a|1|2", "ff"}};
    save_hash_cache(dir.path(), cache);
    EXPECT_EQ(dir.read("Data/Launcher/hashes.cache"), "a|1|2\tff\r\nb|2|3\tee\r\n");
    EXPECT_EQ(load_hash_cache(dir.path()), cache);
}

TEST(SaveHashCache, IgnoresAFolderThatCannotBeMade)
{
    test::TempDir dir;
    dir.write("Data", "a file where the folder should be");
    save_hash_cache(dir.path(), {{"a", "b"}});
    EXPECT_EQ(dir.read("Data"), "a file where the folder should be");
}

} // namespace
} // namespace torvane
