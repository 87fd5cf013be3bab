#include "platform/update_lock.hpp"
#include "platform/files.hpp"
#include "share_probe.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

TEST(WindowsUpdateLock, OneHolderAtATimeInThisProcessAndAcrossProcesses)
{
    test::TempDir dir;
    fs::path lock_file = dir.path() / "update.lock";
    {
        auto held = UpdateLock::acquire(lock_file);
        ASSERT_TRUE(held) << held.error();
        auto second = UpdateLock::acquire(lock_file);
        ASSERT_FALSE(second);
        EXPECT_EQ(second.error(), os_error_text(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(test::run_share_probe(L"lock", {lock_file}), 1u);
        EXPECT_EQ(test::run_share_probe(L"read", {lock_file}), DWORD(ERROR_SHARING_VIOLATION));
        // Metadata reads need no share mode: the held file can still be looked at.
        auto info = file_info(lock_file, FollowLinks::No);
        ASSERT_TRUE(info) << info.error();
        EXPECT_EQ(info->kind, FileKind::Regular);
    }
    EXPECT_EQ(test::run_share_probe(L"lock", {lock_file}), 0u);
    EXPECT_TRUE(UpdateLock::acquire(lock_file));
    EXPECT_EQ(file_info(lock_file, FollowLinks::No)->size, 0u) << "nothing is written to the lock file";
}

TEST(WindowsUpdateLock, FailsWhenTheFolderIsMissing)
{
    test::TempDir dir;
    auto lock = UpdateLock::acquire(dir.path() / "missing" / "update.lock");
    ASSERT_FALSE(lock);
    EXPECT_EQ(lock.error(), os_error_text(ERROR_PATH_NOT_FOUND));
}

} // namespace
} // namespace torvane::platform
