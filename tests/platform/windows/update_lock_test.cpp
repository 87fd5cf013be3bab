// The update lock of Windows' own: a file opened without sharing, seen from a second process.
#include "platform/files.hpp"
#include "platform/update_lock.hpp"
#include "share_probe.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace torvane::platform {
namespace {

TEST(WindowsUpdateLock, AnotherProcessCanNeitherTakeNorReadTheHeldLock)
{
    test::TempDir dir;
    const fs::path lock_file = dir.path() / "update.lock";
    std::optional<Result<UpdateLock>> held = UpdateLock::acquire(lock_file);
    ASSERT_TRUE(*held) << held->error();
    EXPECT_EQ(test::run_share_probe(L"lock", {lock_file}), 1u);
    EXPECT_EQ(test::run_share_probe(L"read", {lock_file}), DWORD(ERROR_SHARING_VIOLATION));
    held.reset(); // releases the lock
    EXPECT_EQ(test::run_share_probe(L"lock", {lock_file}), 0u);
}

} // namespace
} // namespace torvane::platform
