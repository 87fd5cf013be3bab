#include "platform/output_file.hpp"

#include "platform/files.hpp"
#include "support/system_error_texts.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace torvane::platform {
namespace {

TEST(OutputFile, WritesAndFlushes)
{
    test::TempDir dir;
    auto file = OutputFile::create(dir.path() / "a.bin", ExistingFile::Replace);
    ASSERT_TRUE(file) << file.error();
    ASSERT_TRUE(file->write("new"));
    ASSERT_TRUE(file->write(std::string(100'000, 'x')));
    ASSERT_TRUE(file->sync_and_close());
    EXPECT_EQ(dir.read("a.bin"), "new" + std::string(100'000, 'x'));
    // Closed: nothing more can be written.
    EXPECT_FALSE(file->write("late"));
    EXPECT_FALSE(file->sync_and_close());
}

TEST(OutputFile, ReplaceRemovesWhatIsAtThePathFirst)
{
    struct Case {
        const char* label;
        // Puts something under the name "part" and yields the file that must stay untouched.
        std::filesystem::path (*plant)(const test::TempDir& dir);
    };
    std::vector<Case> cases = {
        {"nothing there", [](const test::TempDir&) { return std::filesystem::path(); }},
        {"an older file",
         [](const test::TempDir& dir) {
             dir.write("part", "an older and longer content");
             return std::filesystem::path();
         }},
        {"a hard link",
         [](const test::TempDir& dir) {
             auto target = dir.write("target", "kept");
             std::filesystem::create_hard_link(target, dir.path() / "part");
             return target;
         }},
    };
    if (test::symbolic_links_for_anyone()) {
        cases.push_back({"a symbolic link", [](const test::TempDir& dir) {
                             auto target = dir.write("target", "kept");
                             std::filesystem::create_symlink(target, dir.path() / "part");
                             return target;
                         }});
        cases.push_back({"a dangling symbolic link", [](const test::TempDir& dir) {
                             std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "part");
                             return std::filesystem::path();
                         }});
    }
    for (ExistingFile existing : {ExistingFile::Replace, ExistingFile::ReplaceOrRewrite}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.label);
            test::TempDir dir;
            auto untouched = c.plant(dir);
            auto file = OutputFile::create(dir.path() / "part", existing);
            ASSERT_TRUE(file) << file.error();
            ASSERT_TRUE(file->write("new"));
            ASSERT_TRUE(file->sync_and_close());
            EXPECT_FALSE(std::filesystem::is_symlink(dir.path() / "part"));
            EXPECT_EQ(dir.read("part"), "new");
            if (!untouched.empty()) {
                EXPECT_EQ(dir.read(untouched.filename()), "kept");
                EXPECT_EQ(file_info(untouched, FollowLinks::No)->link_count, 1u);
            }
            EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));
        }
    }
}

TEST(OutputFile, EachWayOfMeetingAnExistingFile)
{
    test::TempDir dir;
    struct Case {
        ExistingFile existing;
        bool created;
    };
    const Case cases[] = {
        {ExistingFile::Replace, true},
        {ExistingFile::ReplaceOrRewrite, true},
        {ExistingFile::Refuse, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        fs::path target = dir.write("file" + std::to_string(n), "old bytes");
        fs::path other = dir.path() / ("link" + std::to_string(n++));
        fs::create_hard_link(target, other);
        auto file = OutputFile::create(target, c.existing);
        ASSERT_EQ(bool(file), c.created);
        if (file) {
            ASSERT_TRUE(file->write("new"));
            ASSERT_TRUE(file->sync_and_close());
            EXPECT_EQ(*read_file(target, platform::document_read_limit), "new");
            EXPECT_EQ(file_info(target, FollowLinks::No)->link_count, 1u);
        } else {
            EXPECT_EQ(file.error(), test::system_error_texts().file_exists);
        }
        // The hard link planted at the name is never written through.
        EXPECT_EQ(*read_file(other, platform::document_read_limit), "old bytes");
    }
}

TEST(OutputFile, ReplaceLeavesAFolderAndFails)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "part");
    auto file = OutputFile::create(dir.path() / "part", ExistingFile::Replace);
    ASSERT_FALSE(file);
    EXPECT_EQ(file.error(), test::system_error_texts().file_exists);
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

    auto again = OutputFile::create(dir.path() / "new", ExistingFile::Refuse);
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error(), test::system_error_texts().file_exists);
    EXPECT_EQ(dir.read("new"), "new");
}

// What a retry needs: a taken name (whatever takes it) is none, any other failure its text.
TEST(OutputFile, CreateNewTellsATakenNameFromAFailure)
{
    test::TempDir dir;
    auto target = dir.write("target", "kept");
    std::filesystem::create_hard_link(target, dir.path() / "hard");
    std::filesystem::create_directory(dir.path() / "folder");
    std::vector<const char*> taken_names = {"target", "hard", "folder"};
    if (test::symbolic_links_for_anyone()) {
        std::filesystem::create_symlink(target, dir.path() / "link");
        std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
        taken_names.insert(taken_names.end(), {"link", "dangling"});
    }
    for (const char* name : taken_names) {
        auto taken = OutputFile::create_new(dir.path() / name);
        ASSERT_TRUE(taken) << name << ": " << taken.error();
        EXPECT_FALSE(taken->has_value()) << name;
    }
    EXPECT_EQ(dir.read("target"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));

    auto missing = OutputFile::create_new(dir.path() / "missing" / "new");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), test::system_error_texts().missing_folder);

    auto file = OutputFile::create_new(dir.path() / "new");
    ASSERT_TRUE(file && file->has_value());
    ASSERT_TRUE((*file)->write("new"));
    ASSERT_TRUE((*file)->sync_and_close());
    EXPECT_EQ(file_info(dir.path() / "new", FollowLinks::No)->kind, FileKind::Regular);
    EXPECT_EQ(dir.read("new"), "new");
}

TEST(OutputFile, NewFilesFoldersAndClosedFiles)
{
    test::TempDir dir;
    auto file = OutputFile::create(dir.path() / "download.tmp", ExistingFile::Refuse);
    ASSERT_TRUE(file) << file.error();
    ASSERT_TRUE(file->write(std::string(200000, 'x')));
    file->start_write_back();
    ASSERT_TRUE(file->copy_permissions_from(dir.path() / "download.tmp"));
    EXPECT_FALSE(file->copy_permissions_from(dir.path() / "missing"));
    ASSERT_TRUE(file->close());
    EXPECT_FALSE(file->write("more")) << "a closed file takes no more bytes";
    EXPECT_FALSE(file->close());
    EXPECT_EQ(file_info(dir.path() / "download.tmp", FollowLinks::No)->size, 200000u);
    EXPECT_TRUE(sync_file_system_of(dir.path() / "download.tmp"));
    EXPECT_TRUE(sync_folder(dir.path()));
    EXPECT_FALSE(sync_folder(dir.path() / "missing"));

    fs::path folder = dir.path() / "folder";
    ASSERT_TRUE(create_folders(folder));
    for (ExistingFile existing : {ExistingFile::Replace, ExistingFile::ReplaceOrRewrite, ExistingFile::Refuse})
        EXPECT_FALSE(OutputFile::create(folder, existing)) << int(existing);
    EXPECT_EQ(file_info(folder, FollowLinks::No)->kind, FileKind::Directory);
}

TEST(CopyToNewFile, NeverWritesThroughAHardLinkAndLeavesNothingWhenTheSourceIsMissing)
{
    test::TempDir dir;
    fs::path source = dir.write("source", std::string(100000, 's'));
    fs::path outside = dir.write("outside", "kept");
    fs::path copy = dir.path() / "copy";
    fs::create_hard_link(outside, copy);
    ASSERT_TRUE(copy_to_new_file(source, copy));
    EXPECT_EQ(*read_file(copy, platform::document_read_limit), std::string(100000, 's'));
    EXPECT_EQ(*read_file(outside, platform::document_read_limit), "kept");

    auto missing = copy_to_new_file(dir.path() / "missing", dir.path() / "other");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), test::system_error_texts().missing_file);
    EXPECT_EQ(file_info(dir.path() / "other", FollowLinks::No)->kind, FileKind::Missing);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.path() / "other")));
}

TEST(SyncFolder, FlushesAnExistingFolderOnly)
{
    test::TempDir dir;
    EXPECT_TRUE(sync_folder(dir.path()));
    EXPECT_EQ(sync_folder(dir.path() / "missing").error(), test::system_error_texts().missing_file);
    EXPECT_EQ(sync_folder(dir.write("file", "x")).error(), test::system_error_texts().not_a_folder);
}

TEST(SyncFileSystemOf, FlushesThroughAFileOrAFolder)
{
    test::TempDir dir;
    EXPECT_TRUE(sync_file_system_of(dir.write("file", "x")));
    EXPECT_TRUE(sync_file_system_of(dir.path()));
    EXPECT_EQ(sync_file_system_of(dir.path() / "missing").error(), test::system_error_texts().missing_file);
}

} // namespace
} // namespace torvane::platform
