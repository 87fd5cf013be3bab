#include "update/publish_batch.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

namespace fs = std::filesystem;

class PublishBatchTest : public ::testing::Test {
protected:
    // Writes a temporary for target number i and queues it.
    Status add(int i, std::uint64_t size = 10)
    {
        fs::path temporary = dir_.write("f" + std::to_string(i) + ".tmp", "content " + std::to_string(i));
        return batch_.add(temporary, dir_.path() / ("f" + std::to_string(i)), size);
    }
    bool published(int i) const { return fs::exists(dir_.path() / ("f" + std::to_string(i))); }
    bool waiting(int i) const { return fs::exists(dir_.path() / ("f" + std::to_string(i) + ".tmp")); }

    test::TempDir dir_;
    PublishBatch batch_ {std::chrono::hours(1)}; // no batch is published for its age here
};

TEST_F(PublishBatchTest, FilesTakeTheirNamesWhenTheBatchIsFullOrAtTheEnd)
{
    const int full = static_cast<int>(PublishBatch::batch_files);
    for (int i = 0; i < full - 1; ++i)
        ASSERT_TRUE(add(i));
    EXPECT_FALSE(published(0));
    EXPECT_TRUE(waiting(0));
    ASSERT_TRUE(add(full - 1)); // the batch is full: all of it is published
    for (int i = 0; i < full; ++i)
        ASSERT_TRUE(published(i) && !waiting(i)) << i;
    EXPECT_EQ(dir_.read("f7"), "content 7");

    ASSERT_TRUE(add(1000, PublishBatch::batch_bytes)); // large enough on its own
    EXPECT_TRUE(published(1000));

    ASSERT_TRUE(add(2000));
    EXPECT_FALSE(published(2000));
    ASSERT_TRUE(batch_.publish_all());
    EXPECT_TRUE(published(2000));
}

TEST(PublishBatch, BatchThatWaitedLongEnoughIsPublishedWithTheNextFile)
{
    test::TempDir dir;
    PublishBatch batch {std::chrono::milliseconds(0)};
    ASSERT_TRUE(batch.add(dir.write("a.tmp", "a"), dir.path() / "a", 1));
    EXPECT_TRUE(fs::exists(dir.path() / "a"));
}

TEST_F(PublishBatchTest, DiscardDeletesWhatWaits)
{
    ASSERT_TRUE(add(1));
    ASSERT_TRUE(add(2));
    batch_.discard_all();
    EXPECT_FALSE(waiting(1) || waiting(2) || published(1) || published(2));
    EXPECT_TRUE(batch_.publish_all()); // nothing left
}

TEST_F(PublishBatchTest, FailedRenameDeletesTheRestAndReportsIt)
{
    ASSERT_TRUE(add(1));
    ASSERT_TRUE(add(2));
    ASSERT_TRUE(add(3));
    dir_.write("f2/keep", "a folder where file 2 would go");
    Status result = batch_.publish_all();
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().find("(os error"), std::string::npos) << result.error();
    EXPECT_TRUE(published(1));
    EXPECT_FALSE(waiting(2) || waiting(3) || published(3));
}

} // namespace
} // namespace torvane
