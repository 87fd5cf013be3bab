// The output file cases of Windows' own: a name held by another handle that shares no deletion.
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/windows/win32.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

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
        test::TempDir dir;
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

} // namespace
} // namespace torvane::platform
