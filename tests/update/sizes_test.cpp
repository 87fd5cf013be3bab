#include "support/temp_dir.hpp"
#include "update/sizes.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(FormatDiskSize, MegabytesRoundedUpThenGigabytesWithComma)
{
    struct Case {
        std::uint64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 MB"},
        {1, "1 MB"},
        {1'048'576, "1 MB"},
        {1'048'577, "2 MB"},
        {1'073'741'823, "1024 MB"},
        {1'073'741'824, "1,00 GB"},
        {1'610'612'736, "1,50 GB"},
        {1'073'741'824ull * 1000 + 5'368'709, "1000,00 GB"}, // 0.005 GiB less a little rounds down
        {1'073'741'824ull * 3 + 1'073'741'824ull / 8, "3,12 GB"}, // an exact tie (3.125) rounds to even
        {UINT64_MAX, "17179869184,00 GB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format_disk_size(c.bytes), c.text) << c.bytes;
}

TEST(DownloadProgressText, NamesFirstInstallationsAndUpdates)
{
    EXPECT_EQ(download_progress_text(true, 0, 1'610'612'736), "Baixando o Torvane: 0 MB de 1,50 GB");
    EXPECT_EQ(download_progress_text(false, 1'048'577, 10'485'760), "Baixando atualização: 2 MB de 10 MB");
}

TEST(FreeDiskSpace, KnownForAFolderAndNothingWhenItCannotBeAsked)
{
    test::TempDir dir;
    auto free = free_disk_space(dir.path());
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(free_disk_space(dir.path() / "missing").has_value());
}

} // namespace
} // namespace torvane
