// The file cases of Windows' own: the system's message table, paths in Windows' spellings, the
// temporaries named after Windows process ids, and symbolic links made through Win32.
#include "platform/files.hpp"
#include "support/folder_links.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

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

// One file whatever the path's spelling: the extended-length prefix, "..", a link to a folder on
// the way.
TEST(WindowsFiles, SameFileWhateverThePathsSpelling)
{
    test::TempDir dir;
    ASSERT_TRUE(create_folders(dir.path() / "Jogo" / "Data"));
    fs::path file = dir.write("Jogo\\Data\\Main.exe", "x");
    fs::path prefixed = L"\\\\?\\";
    prefixed += file.native();
    EXPECT_TRUE(same_file(prefixed, file)) << prefixed;
    EXPECT_TRUE(same_file(dir.path() / "Jogo" / "Outra" / ".." / "Data" / "Main.exe", file));
    ASSERT_TRUE(test::make_folder_link(dir.path() / "Jogo", dir.path() / "atalho"));
    EXPECT_TRUE(same_file(dir.path() / "atalho" / "Data" / "Main.exe", file));
    EXPECT_FALSE(same_file(dir.write("Jogo\\Data\\Outro.exe", "x"), file));
}

TEST(WindowsFiles, AtomicWritesReplaceWholeAndSweepOnlyDeadProcessesTemporaries)
{
    test::TempDir dir;
    fs::path target = dir.write("list.json", "old");
    std::string own = "list.json.tmp-" + std::to_string(::GetCurrentProcessId()) + "-77";
    // 999999 is no process: Windows process ids are multiples of four.
    fs::path stale = dir.write("list.json.tmp-999999-3", "left by a crash");
    // Windows takes the name in capitals for the same name.
    fs::path stale_in_capitals = dir.write("LIST.JSON.tmp-999999-4", "left by a crash");
    fs::path mine = dir.write(own, "in use");
    fs::path unrelated = dir.write("other.json.tmp-999999-3", "another file's");
    ASSERT_TRUE(write_file_atomic(target, "new contents"));
    EXPECT_EQ(*read_file(target, platform::document_read_limit), "new contents");
    EXPECT_EQ(file_info(stale, FollowLinks::No)->kind, FileKind::Missing);
    EXPECT_EQ(file_info(stale_in_capitals, FollowLinks::No)->kind, FileKind::Missing);
    EXPECT_EQ(file_info(mine, FollowLinks::No)->kind, FileKind::Regular);
    EXPECT_EQ(file_info(unrelated, FollowLinks::No)->kind, FileKind::Regular);
    std::size_t entries = 0;
    for ([[maybe_unused]] auto& entry : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 3u) << "no temporary of this write is left";

    EXPECT_FALSE(write_file_atomic(dir.path() / "missing" / "x.json", "x"));
}

TEST(WindowsFiles, SymbolicLinksAreReportedAndRemovedThemselvesWithoutFollowing)
{
    test::TempDir dir;
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

} // namespace
} // namespace torvane::platform
