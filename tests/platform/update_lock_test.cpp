#include "platform/files.hpp"
#include "platform/update_lock.hpp"
#include "support/system_error_texts.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

TEST(UpdateLock, OneHolderAtATimeAndTheFileStaysEmpty)
{
    test::TempDir dir;
    fs::path lock_file = dir.path() / "update.lock";
    {
        auto held = UpdateLock::acquire(lock_file);
        ASSERT_TRUE(held) << held.error();
        auto second = UpdateLock::acquire(lock_file);
        ASSERT_FALSE(second);
        EXPECT_EQ(second.error(), test::system_error_texts().in_use);
        // Metadata reads need no share mode: the held file can still be looked at.
        auto info = file_info(lock_file, FollowLinks::No);
        ASSERT_TRUE(info) << info.error();
        EXPECT_EQ(info->kind, FileKind::Regular);
    }
    EXPECT_TRUE(UpdateLock::acquire(lock_file));
    EXPECT_EQ(file_info(lock_file, FollowLinks::No)->size, 0u) << "nothing is written to the lock file";
}

TEST(UpdateLock, FailsWhenTheFolderIsMissing)
{
    test::TempDir dir;
    auto lock = UpdateLock::acquire(dir.path() / "missing" / "update.lock");
    ASSERT_FALSE(lock);
    EXPECT_EQ(lock.error(), test::system_error_texts().missing_folder);
}

} // namespace
} // namespace torvane::platform
