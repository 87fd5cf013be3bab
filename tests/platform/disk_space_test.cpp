#include "platform/disk_space.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

TEST(DiskSpace, TheCallersFreeBytesOrNothingForAMissingFolder)
{
    test::TempDir dir;
    auto available = available_disk_bytes(dir.path());
    ASSERT_TRUE(available);
    EXPECT_GT(*available, 0u);
    EXPECT_FALSE(available_disk_bytes(dir.path() / "missing" / "below"));
}

} // namespace
} // namespace torvane::platform
