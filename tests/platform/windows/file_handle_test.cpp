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

TEST(WindowsFileHandle, RemoveUnlessInUseRefusesAPinnedFileOnly)
{
    test::TempDir dir;
    fs::path file = dir.write("Main.exe", "bytes");
    {
        auto pinned = FileHandle::open_for_reading(file, Pin::Yes);
        ASSERT_TRUE(pinned);
        Status removed = remove_file_unless_in_use(file);
        ASSERT_FALSE(removed);
        EXPECT_EQ(removed.error(), os_error_text(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(file_info(file, FollowLinks::No)->kind, FileKind::Regular);
    }
    {
        auto reading = FileHandle::open_for_reading(file);
        ASSERT_TRUE(reading);
        EXPECT_TRUE(remove_file_unless_in_use(file));
    }
    EXPECT_EQ(file_info(file, FollowLinks::No)->kind, FileKind::Missing);
    EXPECT_TRUE(remove_file_unless_in_use(file)) << "a missing file is success";
}

TEST(WindowsFileHandle, ReadsInPiecesAndRefusesFoldersAndMissingFiles)
{
    test::TempDir dir;
    fs::path file = dir.write("data.bin", "0123456789");
    auto handle = FileHandle::open_for_reading(file);
    ASSERT_TRUE(handle);
    std::uint8_t buffer[4];
    EXPECT_EQ(*handle->read_full(buffer), 4u);
    EXPECT_EQ(*handle->read_full(buffer), 4u);
    EXPECT_EQ(*handle->read_full(buffer), 2u);
    EXPECT_EQ(*handle->read(buffer), 0u);

    auto folder = FileHandle::open_for_reading(dir.path());
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error(), os_error_text(ERROR_ACCESS_DENIED));
    auto missing = FileHandle::open_for_reading(dir.path() / "missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), os_error_text(ERROR_FILE_NOT_FOUND));
}

} // namespace
} // namespace torvane::platform
