#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/path_text.hpp"
#include "test_folder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace torvane::platform {
namespace {

TEST(WindowsFiles, ErrorTextsAreTheSystemMessageAndTheCode)
{
    struct Case {
        int code;
        const char* suffix;
    };
    const Case cases[] = {{ERROR_FILE_NOT_FOUND, " (os error 2)"},
                          {ERROR_ACCESS_DENIED, " (os error 5)"},
                          {ERROR_SHARING_VIOLATION, " (os error 32)"},
                          {ERROR_DISK_FULL, " (os error 112)"}};
    for (const Case& c : cases) {
        std::string text = os_error_text(c.code);
        ASSERT_TRUE(text.ends_with(c.suffix)) << text;
        std::string message = text.substr(0, text.size() - std::strlen(c.suffix));
        EXPECT_FALSE(message.empty()) << c.code;
        EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << "no line break before the code: " << text;
        EXPECT_NE(message.back(), ' ') << text;
    }
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(last_os_error_text(), os_error_text(ERROR_PATH_NOT_FOUND));
}

TEST(WindowsFiles, MetadataOfFilesFoldersAndMissingPaths)
{
    test::TestFolder dir;
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

TEST(WindowsFiles, HardLinksShareOneIdentityAndCount)
{
    test::TestFolder dir;
    fs::path file = dir.write("a.dll", "shared bytes");
    fs::path link = dir.path() / "b.dll";
    ASSERT_TRUE(::CreateHardLinkW(link.c_str(), file.c_str(), nullptr)) << ::GetLastError();
    EXPECT_EQ(file_info(file, FollowLinks::No)->link_count, 2u);
    EXPECT_TRUE(same_file(file, link));
    fs::path other = dir.write("c.dll", "shared bytes");
    EXPECT_FALSE(same_file(file, other));
    EXPECT_FALSE(same_file(file, dir.path() / "missing"));
    ASSERT_TRUE(remove_file(link));
    EXPECT_EQ(file_info(file, FollowLinks::No)->link_count, 1u);
}

TEST(WindowsFiles, ReplacingRenameAndRemovalAlsoOverReadOnlyFiles)
{
    test::TestFolder dir;
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

TEST(WindowsFiles, AtomicWritesReplaceWholeAndSweepOnlyDeadProcessesTemporaries)
{
    test::TestFolder dir;
    fs::path target = dir.write("list.json", "old");
    std::string own = "list.json.tmp-" + std::to_string(::GetCurrentProcessId()) + "-77";
    // 999999 is no process: Windows process ids are multiples of four.
    fs::path stale = dir.write("list.json.tmp-999999-3", "left by a crash");
    fs::path mine = dir.write(own, "in use");
    fs::path unrelated = dir.write("other.json.tmp-999999-3", "another file's");
    ASSERT_TRUE(write_file_atomic(target, "new contents"));
    EXPECT_EQ(*read_file(target, platform::document_read_limit), "new contents");
    EXPECT_EQ(file_info(stale, FollowLinks::No)->kind, FileKind::Missing);
    EXPECT_EQ(file_info(mine, FollowLinks::No)->kind, FileKind::Regular);
    EXPECT_EQ(file_info(unrelated, FollowLinks::No)->kind, FileKind::Regular);
    std::size_t entries = 0;
    for ([[maybe_unused]] auto& entry : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 3u) << "no temporary of this write is left";

    EXPECT_FALSE(write_file_atomic(dir.path() / "missing" / "x.json", "x"));
}

TEST(WindowsFiles, FoldersAreCreatedWithTheirParentsAndAFileInTheWayFails)
{
    test::TestFolder dir;
    fs::path deep = dir.path() / "Data" / "Launcher" / "releases";
    ASSERT_TRUE(create_folders(deep));
    EXPECT_EQ(file_info(deep, FollowLinks::No)->kind, FileKind::Directory);
    EXPECT_TRUE(create_folders(deep)) << "an existing folder is success";
    fs::path blocker = dir.write("blocker", "x");
    Status blocked = create_folders(blocker / "below");
    ASSERT_FALSE(blocked);
    EXPECT_TRUE(blocked.error().ends_with("(os error 183)")) << blocked.error();
    EXPECT_TRUE(sync_file(dir.write("synced", "bytes")));
    EXPECT_TRUE(set_executable(dir.path() / "synced"));
    EXPECT_FALSE(set_executable(dir.path() / "missing"));
}

TEST(WindowsFiles, SymbolicLinksAreReportedAndRemovedThemselvesWithoutFollowing)
{
    test::TestFolder dir;
    fs::path target = dir.write("target.txt", "kept");
    fs::path link = dir.path() / "link.txt";
    if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "symbolic links refused here: " << last_os_error_text();
    // Wine 8 reports success without making the link.
    if (::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "symbolic link creation reported success but made no link";
    auto info = file_info(link, FollowLinks::No);
    ASSERT_TRUE(info) << info.error();
    EXPECT_EQ(info->kind, FileKind::SymbolicLink);
    EXPECT_EQ(file_info(link, FollowLinks::Yes)->kind, FileKind::Regular);
    EXPECT_TRUE(same_file(link, target));
    ASSERT_TRUE(remove_file(link));
    EXPECT_EQ(file_info(link, FollowLinks::No)->kind, FileKind::Missing);
    EXPECT_EQ(*read_file(target, platform::document_read_limit), "kept");
}

// Windows takes names that differ only in letter case for one name; the key says the same.
TEST(WindowsFiles, NameKeysAreEqualWhereTheFileSystemSeesOneName)
{
    test::TestFolder dir;
    fs::path lower = dir.write("a.bin.part", "one file");
    fs::path upper = dir.path() / "A.BIN.PART";
    ASSERT_TRUE(same_file(lower, upper));
    EXPECT_EQ(file_name_key(lower), file_name_key(upper));
    EXPECT_EQ(file_name_key(dir.path() / utf8_path("Data/é.txt")), file_name_key(dir.path() / utf8_path("DATA\\É.TXT")));
    EXPECT_NE(file_name_key(lower), file_name_key(dir.path() / "a.bin"));
    EXPECT_NE(file_name_key(lower), file_name_key(dir.path() / "a.bin.1.part"));
}

TEST(WindowsFiles, TheExecutablePathIsThisProgram)
{
    fs::path path = executable_path();
    EXPECT_EQ(path.filename(), fs::path(L"torvane_platform_windows_tests.exe"));
    EXPECT_EQ(file_info(path, FollowLinks::No)->kind, FileKind::Regular);
}

} // namespace
} // namespace torvane::platform
