#include "platform/file_handle.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace torvane::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileHandle, ReadsInPiecesAndToTheEnd)
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

    EXPECT_EQ(FileHandle::open_for_reading(dir.path() / "missing").error(), "No such file or directory (os error 2)");
    EXPECT_EQ(FileHandle::open_for_reading(dir.path()).error(), "Is a directory (os error 21)");
}

TEST(FileHandle, FifoDoesNotBlockTheOpen)
{
    test::TempDir dir;
    fs::path fifo = dir.path() / "Main.exe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto file = FileHandle::open_for_reading(fifo);
    ASSERT_TRUE(file) << file.error();
    std::uint8_t buffer[8];
    EXPECT_EQ(file->read(buffer), 0u); // no writer: the end at once
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

    EXPECT_EQ(remove_file_unless_in_use(path).error(), "Resource temporarily unavailable (os error 11)");
    EXPECT_TRUE(fs::exists(path));
    pinned->close();
    EXPECT_FALSE(remove_file_unless_in_use(path));
    FileHandle moved = std::move(*second);
    moved.close();
    EXPECT_TRUE(remove_file_unless_in_use(path));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(remove_file_unless_in_use(path)); // already gone
}

TEST(FileHandle, RemovingALinkLeavesItsTarget)
{
    test::TempDir dir;
    auto target = dir.write("target", "keep");
    fs::create_symlink(target, dir.path() / "link");
    auto pinned = FileHandle::open_for_reading(target, Pin::Yes);
    ASSERT_TRUE(pinned);
    EXPECT_TRUE(remove_file_unless_in_use(dir.path() / "link"));
    EXPECT_FALSE(fs::is_symlink(dir.path() / "link"));
    EXPECT_TRUE(fs::exists(target));
}

} // namespace
} // namespace torvane::platform
