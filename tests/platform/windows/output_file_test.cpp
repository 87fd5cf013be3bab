#include "platform/files.hpp"
#include "platform/output_file.hpp"
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
        const char* linked_after; // what the other hard link of the old file reads afterwards
    };
    const Case cases[] = {
        {ExistingFile::Truncate, true, "new"},
        {ExistingFile::Replace, true, "old bytes"},
        {ExistingFile::Refuse, false, "old bytes"},
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
        } else {
            EXPECT_EQ(file.error(), os_error_text(ERROR_FILE_EXISTS));
        }
        EXPECT_EQ(*read_file(other, platform::document_read_limit), c.linked_after);
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
    for (ExistingFile existing : {ExistingFile::Truncate, ExistingFile::Replace, ExistingFile::Refuse})
        EXPECT_FALSE(OutputFile::create(folder, existing)) << int(existing);
    EXPECT_EQ(file_info(folder, FollowLinks::No)->kind, FileKind::Directory);
}

} // namespace
} // namespace torvane::platform
