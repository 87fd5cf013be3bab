// The file handle cases of Linux's own: FIFOs and symbolic links.
#include "platform/file_handle.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace torvane::platform {
namespace {

namespace fs = std::filesystem;

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
