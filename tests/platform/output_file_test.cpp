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

TEST(OutputFile, ReplaceRemovesWhatIsAtThePathFirst)
{
    struct Case {
        const char* label;
        // Puts something under the name "part" and yields the file that must stay untouched.
        std::filesystem::path (*plant)(const test::TempDir& dir);
    };
    const Case cases[] = {
        {"nothing there", [](const test::TempDir&) { return std::filesystem::path(); }},
        {"an older file",
         [](const test::TempDir& dir) {
             dir.write("part", "an older and longer content");
             return std::filesystem::path();
         }},
        {"a symbolic link",
         [](const test::TempDir& dir) {
             auto target = dir.write("target", "kept");
             std::filesystem::create_symlink(target, dir.path() / "part");
             return target;
         }},
        {"a dangling symbolic link",
         [](const test::TempDir& dir) {
             std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "part");
             return std::filesystem::path();
         }},
        {"a hard link",
         [](const test::TempDir& dir) {
             auto target = dir.write("target", "kept");
             std::filesystem::create_hard_link(target, dir.path() / "part");
             return target;
         }},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        auto untouched = c.plant(dir);
        auto file = OutputFile::create(dir.path() / "part", ExistingFile::Replace);
        ASSERT_TRUE(file) << c.label << ": " << file.error();
        ASSERT_TRUE(file->write("new"));
        ASSERT_TRUE(file->sync_and_close());
        EXPECT_FALSE(std::filesystem::is_symlink(dir.path() / "part")) << c.label;
        EXPECT_EQ(dir.read("part"), "new") << c.label;
        if (!untouched.empty()) {
            EXPECT_EQ(dir.read(untouched.filename()), "kept") << c.label;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere")) << c.label;
    }
}

TEST(OutputFile, ReplaceLeavesAFolderAndFails)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "part");
    auto file = OutputFile::create(dir.path() / "part", ExistingFile::Replace);
    ASSERT_FALSE(file);
    EXPECT_EQ(file.error(), os_error_text(EEXIST));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "part"));
}

TEST(OutputFile, RefuseCreatesOnlyWhereNothingIs)
{
    test::TempDir dir;
    auto file = OutputFile::create(dir.path() / "new", ExistingFile::Refuse);
    ASSERT_TRUE(file) << file.error();
    ASSERT_TRUE(file->write("new"));
    ASSERT_TRUE(file->sync_and_close());
    EXPECT_EQ(dir.read("new"), "new");

    auto target = dir.write("target", "kept");
    std::filesystem::create_symlink(target, dir.path() / "link");
    std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
    for (const char* name : {"new", "link", "dangling"}) {
        auto again = OutputFile::create(dir.path() / name, ExistingFile::Refuse);
        ASSERT_FALSE(again) << name;
        EXPECT_EQ(again.error(), os_error_text(EEXIST)) << name;
    }
    EXPECT_EQ(dir.read("new"), "new");
    EXPECT_EQ(dir.read("target"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));
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
