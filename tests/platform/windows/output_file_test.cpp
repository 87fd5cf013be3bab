#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/windows/win32.hpp"
#include "test_folder.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

TEST(WindowsOutputFile, EachWayOfMeetingAnExistingFile)
{
    test::TestFolder dir;
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
        ASSERT_TRUE(::CreateHardLinkW(other.c_str(), target.c_str(), nullptr));
        auto file = OutputFile::create(target, c.existing);
        ASSERT_EQ(bool(file), c.created);
        if (file) {
            ASSERT_TRUE(file->write("new"));
            ASSERT_TRUE(file->sync_and_close());
            EXPECT_EQ(*read_file(target, platform::document_read_limit), "new");
            EXPECT_EQ(file_info(target, FollowLinks::No)->link_count, 1u);
        } else {
            EXPECT_EQ(file.error(), os_error_text(ERROR_FILE_EXISTS));
        }
        // The hard link planted at the name is never written through.
        EXPECT_EQ(*read_file(other, platform::document_read_limit), "old bytes");
    }
}

// A name whose deletion is refused: another handle holds the file without sharing its deletion,
// as a log viewer may.
TEST(WindowsOutputFile, ANameThatCannotBeDeletedIsRewrittenOnlyWhenNoOtherNameLeadsToIt)
{
    struct Case {
        const char* label;
        bool hard_link; // a second name of the file lies beside it
        ExistingFile existing;
        bool rewritten;
    };
    const Case cases[] = {
        {"the previous log", false, ExistingFile::ReplaceOrRewrite, true},
        {"a hard link", true, ExistingFile::ReplaceOrRewrite, false},
        {"the previous log, Replace", false, ExistingFile::Replace, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        test::TestFolder dir;
        fs::path log = dir.write("log", "OK em 0,8 s\r\n");
        fs::path other = dir.path() / "other";
        if (c.hard_link) {
            ASSERT_TRUE(::CreateHardLinkW(other.c_str(), log.c_str(), nullptr));
        }
        UniqueHandle holder(::CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.is_open());
        ASSERT_FALSE(remove_file(log)) << "the held file must refuse its deletion";

        auto file = OutputFile::create(log, c.existing);
        ASSERT_EQ(bool(file), c.rewritten) << (file ? "" : file.error());
        if (file) {
            ASSERT_TRUE(file->write("ERRO: x\r\n"));
            ASSERT_TRUE(file->close());
        }
        holder.reset();
        EXPECT_EQ(*read_file(log, platform::document_read_limit), c.rewritten ? "ERRO: x\r\n" : "OK em 0,8 s\r\n");
        if (c.hard_link) {
            EXPECT_EQ(*read_file(other, platform::document_read_limit), "OK em 0,8 s\r\n");
        }
    }
}

TEST(WindowsOutputFile, NewFilesFoldersAndClosedFiles)
{
    test::TestFolder dir;
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

TEST(WindowsOutputFile, CopyToNewFileNeverWritesThroughAHardLink)
{
    test::TestFolder dir;
    fs::path source = dir.write("source", std::string(100000, 's'));
    fs::path outside = dir.write("outside", "kept");
    fs::path copy = dir.path() / "copy";
    ASSERT_TRUE(::CreateHardLinkW(copy.c_str(), outside.c_str(), nullptr));
    ASSERT_TRUE(copy_to_new_file(source, copy));
    EXPECT_EQ(*read_file(copy, platform::document_read_limit), std::string(100000, 's'));
    EXPECT_EQ(*read_file(outside, platform::document_read_limit), "kept");
    EXPECT_FALSE(copy_to_new_file(dir.path() / "missing", dir.path() / "other"));
    EXPECT_EQ(file_info(dir.path() / "other", FollowLinks::No)->kind, FileKind::Missing);
}

} // namespace
} // namespace torvane::platform
