// The file handle cases of Windows' own: share modes, seen from a second process.
#include "platform/file_handle.hpp"
#include "platform/files.hpp"
#include "share_probe.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace torvane::platform {
namespace {

using test::run_share_probe;

TEST(WindowsFileHandle, APinnedFileCanBeReadButNeitherWrittenRenamedNorDeletedByAnotherProcess)
{
    test::TempDir dir;
    fs::path file = dir.write("Main.exe", "verified bytes");
    fs::path aside = dir.path() / "aside.exe";
    {
        auto pinned = FileHandle::open_for_reading(file, Pin::Yes);
        ASSERT_TRUE(pinned) << pinned.error();
        EXPECT_EQ(run_share_probe(L"read", {file}), 0u);
        EXPECT_EQ(run_share_probe(L"write", {file}), DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(run_share_probe(L"rename", {file, aside}), DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(run_share_probe(L"delete", {file}), DWORD(ERROR_SHARING_VIOLATION));
        // The file is still the one verified, and can be read and looked at meanwhile.
        EXPECT_EQ(*read_file(file, platform::document_read_limit), "verified bytes");
        EXPECT_EQ(file_info(file, FollowLinks::No)->size, 14u);
        EXPECT_TRUE(same_file(file, file));
    }
    EXPECT_EQ(run_share_probe(L"write", {file}), 0u);
    EXPECT_EQ(run_share_probe(L"rename", {file, aside}), 0u);
    EXPECT_EQ(run_share_probe(L"delete", {aside}), 0u);
}

TEST(WindowsFileHandle, AnUnpinnedHandleLetsAnotherProcessWriteAndMoveTheFile)
{
    test::TempDir dir;
    fs::path file = dir.write("news.json", "old");
    fs::path aside = dir.path() / "news.json.old";
    auto reading = FileHandle::open_for_reading(file);
    ASSERT_TRUE(reading) << reading.error();
    EXPECT_EQ(run_share_probe(L"write", {file}), 0u);
    EXPECT_EQ(run_share_probe(L"rename", {file, aside}), 0u);
    EXPECT_EQ(file_info(file, FollowLinks::No)->kind, FileKind::Missing);
}

TEST(WindowsFileHandle, PinningFailsWhileAnotherHandleWritesTheFile)
{
    test::TempDir dir;
    fs::path file = dir.write("Main.exe", "bytes");
    HANDLE writer = ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    auto pinned = FileHandle::open_for_reading(file, Pin::Yes);
    ::CloseHandle(writer);
    ASSERT_FALSE(pinned);
    EXPECT_TRUE(pinned.error().ends_with("(os error 32)")) << pinned.error();
    EXPECT_TRUE(FileHandle::open_for_reading(file, Pin::Yes));
}

} // namespace
} // namespace torvane::platform
