#include "platform/file_handle.hpp"
#include "platform/files.hpp"
#include "support/system_error_texts.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileHandle, ReadsInPiecesAndToTheEndAndRefusesFoldersAndMissingFiles)
{
    test::TempDir dir;
    auto path = dir.write("data", "0123456789");
    auto file = FileHandle::open_for_reading(path);
    ASSERT_TRUE(file) << file.error();
    std::uint8_t buffer[4];
    EXPECT_EQ(file->read_full(buffer), 4u);
    EXPECT_EQ(std::string(buffer, buffer + 4), "0123");
    std::uint8_t rest[16];
    EXPECT_EQ(file->read_full(rest), 6u);
    EXPECT_EQ(file->read(rest), 0u);

    // In pieces of the buffer's size, the last one short.
    auto again = FileHandle::open_for_reading(path);
    ASSERT_TRUE(again) << again.error();
    EXPECT_EQ(*again->read_full(buffer), 4u);
    EXPECT_EQ(*again->read_full(buffer), 4u);
    EXPECT_EQ(*again->read_full(buffer), 2u);
    EXPECT_EQ(*again->read(buffer), 0u);

    EXPECT_EQ(FileHandle::open_for_reading(dir.path() / "missing").error(), test::system_error_texts().missing_file);
    EXPECT_EQ(FileHandle::open_for_reading(dir.path()).error(), test::system_error_texts().folder_opened);
}

TEST(FileHandle, PinnedFileIsInUseUntilClosed)
{
    test::TempDir dir;
    auto path = dir.write("Main.exe", "client");
    auto pinned = FileHandle::open_for_reading(path, Pin::Yes);
    ASSERT_TRUE(pinned);
    // Several readers may pin the same file at once.
    auto second = FileHandle::open_for_reading(path, Pin::Yes);
    ASSERT_TRUE(second);

    EXPECT_EQ(remove_file_unless_in_use(path).error(), test::system_error_texts().in_use);
    EXPECT_TRUE(fs::exists(path));
    pinned->close();
    EXPECT_FALSE(remove_file_unless_in_use(path));
    FileHandle moved = std::move(*second);
    moved.close();
    EXPECT_TRUE(remove_file_unless_in_use(path));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(remove_file_unless_in_use(path)); // already gone
}

TEST(FileHandle, RemoveUnlessInUseRefusesAPinnedFileOnly)
{
    test::TempDir dir;
    fs::path file = dir.write("Main.exe", "bytes");
    {
        auto pinned = FileHandle::open_for_reading(file, Pin::Yes);
        ASSERT_TRUE(pinned);
        Status removed = remove_file_unless_in_use(file);
        ASSERT_FALSE(removed);
        EXPECT_EQ(removed.error(), test::system_error_texts().in_use);
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

} // namespace
} // namespace torvane::platform
