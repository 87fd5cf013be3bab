#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/path_text.hpp"
#include "support/system_error_texts.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <future>
#include <vector>

namespace torvane::platform {
namespace {

TEST(OsErrorText, ErrorCodesAreReadInTheirOwnDomain)
{
    EXPECT_EQ(c_library_error_text(EACCES), "Permission denied (os error 13)");
    EXPECT_EQ(error_code_text(std::make_error_code(std::errc::permission_denied)), "Permission denied (os error 13)");
    // Code 2 of the system's own domain: ENOENT on Linux, ERROR_FILE_NOT_FOUND on Windows.
    EXPECT_EQ(error_code_text(std::error_code(ENOENT, std::system_category())), test::system_error_texts().missing_file);
    // Another category's code is no system code: its own message.
    const std::error_code future = std::make_error_code(std::future_errc::no_state);
    EXPECT_EQ(error_code_text(future), future.message() + " (os error " + std::to_string(future.value()) + ")");
}

TEST(FileInfo, ModificationTimeIsInTicksSinceYearOne)
{
    test::TempDir dir;
    auto file = dir.write("a", "x");
    auto info = file_info(file, FollowLinks::No);
    ASSERT_TRUE(info);
    std::int64_t now = system_time_ticks();
    EXPECT_GT(info->modified_ticks, unix_epoch_ticks);
    EXPECT_LE(info->modified_ticks, now);
    EXPECT_GT(info->modified_ticks, now - 600LL * 10000000); // within ten minutes
}

TEST(FileInfo, MetadataOfFilesFoldersAndMissingPaths)
{
    test::TempDir dir;
    fs::path file = dir.write("Main.exe", "12345");
    auto info = file_info(file, FollowLinks::No);
    ASSERT_TRUE(info) << info.error();
    EXPECT_EQ(info->kind, FileKind::Regular);
    EXPECT_EQ(info->size, 5u);
    EXPECT_EQ(info->link_count, 1u);
    EXPECT_FALSE(info->read_only);
    // Written just now: the modification time is within a minute of the clock's.
    std::int64_t now = ticks_from_unix(std::time(nullptr), 0);
    EXPECT_LT(std::abs(info->modified_ticks - now), 60LL * 10000000) << info->modified_ticks;

    ASSERT_TRUE(set_read_only(file, true));
    EXPECT_TRUE(file_info(file, FollowLinks::Yes)->read_only);
    ASSERT_TRUE(set_read_only(file, false));
    EXPECT_FALSE(file_info(file, FollowLinks::Yes)->read_only);

    EXPECT_EQ(file_info(dir.path(), FollowLinks::No)->kind, FileKind::Directory);
    for (const fs::path& missing : {dir.path() / "missing", dir.path() / "missing" / "below", file / "below"}) {
        auto none = file_info(missing, FollowLinks::No);
        ASSERT_TRUE(none) << missing << ": " << none.error();
        EXPECT_EQ(none->kind, FileKind::Missing) << missing;
    }
}

// Names that differ only in letter case are two files on Linux and one on Windows.
TEST(SameFile, ComparesIdentityNotNames)
{
    const bool one_name_for_both_cases = !test::posix_file_system();
    test::TempDir dir;
    auto launcher = dir.write("launcher", "a");
    dir.write("Launcher", "a");
    std::filesystem::create_hard_link(launcher, dir.path() / "hard");
    std::filesystem::create_directory(dir.path() / "pasta");
    struct Case {
        std::filesystem::path other;
        bool same;
    };
    const Case cases[] = {
        {launcher, true},
        {dir.path() / "." / "launcher", true},
        {dir.path() / "hard", true},
        {dir.path() / "pasta" / ".." / "launcher", true},
        {dir.path() / "Launcher", one_name_for_both_cases},
        {dir.path() / "missing", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(same_file(c.other, launcher), c.same) << c.other;
    EXPECT_FALSE(same_file(dir.path() / "missing", dir.path() / "missing"));
}

TEST(SameFile, HardLinksShareOneIdentityAndCount)
{
    test::TempDir dir;
    fs::path file = dir.write("a.dll", "shared bytes");
    fs::path link = dir.path() / "b.dll";
    fs::create_hard_link(file, link);
    EXPECT_EQ(file_info(file, FollowLinks::No)->link_count, 2u);
    EXPECT_TRUE(same_file(file, link));
    fs::path other = dir.write("c.dll", "shared bytes");
    EXPECT_FALSE(same_file(file, other));
    EXPECT_FALSE(same_file(file, dir.path() / "missing"));
    ASSERT_TRUE(remove_file(link));
    EXPECT_EQ(file_info(file, FollowLinks::No)->link_count, 1u);
}

// Linux names are bytes: names that differ in letter case are two files, and two keys. Windows
// takes them for one name; the key says the same.
TEST(FileNameKey, EqualOnlyWhereTheFileSystemSeesOneName)
{
    const bool one_name_for_both_cases = !test::posix_file_system();
    test::TempDir dir;
    auto lower = dir.write("a.bin.part", "a");
    auto upper = dir.path() / "A.BIN.PART";
    if (!one_name_for_both_cases)
        dir.write("A.BIN.PART", "b");
    EXPECT_EQ(same_file(lower, upper), one_name_for_both_cases);
    EXPECT_EQ(file_name_key(lower) == file_name_key(upper), one_name_for_both_cases);
    EXPECT_EQ(file_name_key(lower), file_name_key(dir.path() / "a.bin.part"));
    EXPECT_EQ(file_name_key(dir.path() / utf8_path("Data/é.txt")) == file_name_key(dir.path() / utf8_path("DATA\\É.TXT")),
              one_name_for_both_cases);
    EXPECT_NE(file_name_key(lower), file_name_key(dir.path() / "a.bin"));
    EXPECT_NE(file_name_key(lower), file_name_key(dir.path() / "a.bin.1.part"));
}

TEST(WholeFiles, WriteFileNeverWritesThroughALinkAtItsName)
{
    std::vector<bool> hard_links = {true};
    if (test::symbolic_links_for_anyone())
        hard_links.push_back(false);
    for (bool hard : hard_links) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        test::TempDir dir;
        auto outside = dir.write("outside", "kept");
        if (hard)
            std::filesystem::create_hard_link(outside, dir.path() / "report.txt");
        else
            std::filesystem::create_symlink(outside, dir.path() / "report.txt");
        ASSERT_TRUE(write_file(dir.path() / "report.txt", "novo"));
        EXPECT_EQ(dir.read("report.txt"), "novo");
        EXPECT_FALSE(std::filesystem::is_symlink(dir.path() / "report.txt"));
        EXPECT_EQ(dir.read("outside"), "kept");
    }
}

TEST(WholeFiles, WriteReadAndReplace)
{
    test::TempDir dir;
    auto path = dir.path() / "doc.txt";
    ASSERT_TRUE(write_file(path, std::string("a\0b", 3)));
    EXPECT_EQ(*read_file(path, document_read_limit), std::string("a\0b", 3));

    ASSERT_TRUE(write_file_atomic(path, "novo"));
    EXPECT_EQ(*read_file(path, document_read_limit), "novo");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1); // no temporary left

    auto other = dir.write("other", "outro");
    ASSERT_TRUE(replace_rename(other, path));
    EXPECT_EQ(*read_file(path, document_read_limit), "outro");
    EXPECT_FALSE(std::filesystem::exists(other));

    auto failed = read_file(dir.path() / "missing", document_read_limit);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), test::system_error_texts().missing_file);
}

TEST(WholeFiles, ReadFileJoinsThePiecesOfALargeFileAndRefusesAFolder)
{
    test::TempDir dir;
    // Longer than one read, so the pieces must join up.
    std::string large(200'000, 'x');
    large[0] = 'a';
    large[large.size() - 1] = 'z';
    auto path = dir.write("large", large);
    EXPECT_EQ(*read_file(path, document_read_limit), large);

    EXPECT_EQ(read_file(dir.path(), document_read_limit).error(), test::system_error_texts().folder_opened);
}

TEST(WholeFiles, ReadOnlyBitRoundTrips)
{
    test::TempDir dir;
    auto path = dir.write("ro", "x");
    ASSERT_TRUE(set_read_only(path, true));
    EXPECT_TRUE(file_info(path, FollowLinks::No)->read_only);
    ASSERT_TRUE(set_read_only(path, false));
    EXPECT_FALSE(file_info(path, FollowLinks::No)->read_only);
}

TEST(WholeFiles, ReplacingRenameAndRemovalAlsoOverReadOnlyFiles)
{
    test::TempDir dir;
    fs::path from = dir.write("new.dll", "new");
    fs::path to = dir.write("game.dll", "old");
    ASSERT_TRUE(set_read_only(to, true));
    Status renamed = replace_rename(from, to);
    ASSERT_TRUE(renamed) << renamed.error();
    EXPECT_EQ(*read_file(to, platform::document_read_limit), "new");
    EXPECT_EQ(file_info(from, FollowLinks::No)->kind, FileKind::Missing);

    ASSERT_TRUE(set_read_only(to, true));
    Status removed = remove_file(to);
    ASSERT_TRUE(removed) << removed.error();
    EXPECT_EQ(file_info(to, FollowLinks::No)->kind, FileKind::Missing);
    EXPECT_TRUE(remove_file(to)) << "a missing file is success";
    EXPECT_TRUE(remove_file(dir.path() / "missing" / "x")) << "a missing folder too";

    Status onto_folder = replace_rename(dir.write("x", "x"), dir.path());
    EXPECT_FALSE(onto_folder) << "renames replace files only";
    EXPECT_FALSE(replace_rename(dir.path() / "missing", to));
}

TEST(Folders, AreCreatedWithTheirParentsAndAFileInTheWayFails)
{
    test::TempDir dir;
    fs::path deep = dir.path() / "Data" / "Launcher" / "releases";
    ASSERT_TRUE(create_folders(deep));
    EXPECT_EQ(file_info(deep, FollowLinks::No)->kind, FileKind::Directory);
    EXPECT_TRUE(create_folders(deep)) << "an existing folder is success";
    fs::path blocker = dir.write("blocker", "x");
    Status blocked = create_folders(blocker / "below");
    ASSERT_FALSE(blocked);
    EXPECT_EQ(blocked.error(), test::system_error_texts().file_in_the_way);
    EXPECT_TRUE(sync_file(dir.write("synced", "bytes")));
    EXPECT_TRUE(set_executable(dir.path() / "synced"));
    EXPECT_FALSE(set_executable(dir.path() / "missing"));
}

TEST(ExecutablePath, IsThisProgram)
{
    fs::path path = executable_path();
    EXPECT_EQ(path.filename(), fs::path(test::posix_file_system() ? "torvane_platform_tests" : "torvane_platform_tests.exe"));
    EXPECT_EQ(file_info(path, FollowLinks::No)->kind, FileKind::Regular);
}

} // namespace
} // namespace torvane::platform
