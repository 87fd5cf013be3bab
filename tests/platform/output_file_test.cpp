#include "platform/output_file.hpp"

#include "platform/files.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace torvane::platform {
namespace {

TEST(OutputFile, WritesTruncatesAndFlushes)
{
    test::TempDir dir;
    dir.write("a.bin", "an older and longer content");
    auto file = OutputFile::create(dir.path() / "a.bin");
    ASSERT_TRUE(file) << file.error();
    ASSERT_TRUE(file->write("new"));
    ASSERT_TRUE(file->write(std::string(100'000, 'x')));
    ASSERT_TRUE(file->sync_and_close());
    EXPECT_EQ(dir.read("a.bin"), "new" + std::string(100'000, 'x'));
    // Closed: nothing more can be written.
    EXPECT_FALSE(file->write("late"));
    EXPECT_FALSE(file->sync_and_close());
}

TEST(OutputFile, NeverWritesThroughASymbolicLink)
{
    test::TempDir dir;
    dir.write("target", "kept");
    std::filesystem::create_symlink(dir.path() / "target", dir.path() / "link");
    auto file = OutputFile::create(dir.path() / "link");
    ASSERT_FALSE(file);
    EXPECT_EQ(file.error(), os_error_text(ELOOP));
    EXPECT_EQ(dir.read("target"), "kept");
}

TEST(OutputFile, TakesThePermissionBitsOfAModel)
{
    test::TempDir dir;
    auto model = dir.write("model", "x");
    ::chmod(model.c_str(), 0751);
    auto file = OutputFile::create(dir.path() / "copy");
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->copy_permissions_from(model));
    ASSERT_TRUE(file->sync_and_close());
    struct stat info {};
    ASSERT_EQ(::stat((dir.path() / "copy").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);

    auto other = OutputFile::create(dir.path() / "other");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->copy_permissions_from(dir.path() / "missing").error(), os_error_text(ENOENT));
}

TEST(SyncFolder, FlushesAnExistingFolderOnly)
{
    test::TempDir dir;
    EXPECT_TRUE(sync_folder(dir.path()));
    EXPECT_EQ(sync_folder(dir.path() / "missing").error(), os_error_text(ENOENT));
    EXPECT_EQ(sync_folder(dir.write("file", "x")).error(), os_error_text(ENOTDIR));
}

TEST(SyncFileSystemOf, FlushesThroughAFileOrAFolder)
{
    test::TempDir dir;
    EXPECT_TRUE(sync_file_system_of(dir.write("file", "x")));
    EXPECT_TRUE(sync_file_system_of(dir.path()));
    EXPECT_EQ(sync_file_system_of(dir.path() / "missing").error(), os_error_text(ENOENT));
}

} // namespace
} // namespace torvane::platform
