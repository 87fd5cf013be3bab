#include "update/publish_batch.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace torvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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
    // The publisher thread works on its own; waits up to ten seconds for file i's name.
    bool published_soon(int i) const
    {
        for (int tries = 0; tries < 2000 && !published(i); ++tries)
            std::this_thread::sleep_for(5ms);
        return published(i);
    }

    test::TempDir dir_;
    PublishBatch batch_ {std::chrono::hours(1)}; // no batch is published for its age here
};

TEST_F(PublishBatchTest, FilesTakeTheirNamesWhenTheBatchIsFullOrAtTheEnd)
{
    const int full = static_cast<int>(PublishBatch::batch_files);
    for (int i = 0; i < full - 1; ++i)
        ASSERT_TRUE(add(i));
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(published(0));
    EXPECT_TRUE(waiting(0));
    ASSERT_TRUE(add(full - 1)); // the batch is full: all of it is published
    ASSERT_TRUE(published_soon(full - 1));
    for (int i = 0; i < full; ++i)
        ASSERT_TRUE(published(i) && !waiting(i)) << i;
    EXPECT_EQ(dir_.read("f7"), "content 7");

    ASSERT_TRUE(add(1000, PublishBatch::batch_bytes)); // large enough on its own
    EXPECT_TRUE(published_soon(1000));

    ASSERT_TRUE(add(2000));
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(published(2000));
    ASSERT_TRUE(batch_.finish());
    EXPECT_TRUE(published(2000) && !waiting(2000));
    EXPECT_TRUE(batch_.finish()); // nothing left
}

TEST(PublishBatch, BatchThatWaitedLongEnoughIsPublishedWithoutMoreFiles)
{
    test::TempDir dir;
    PublishBatch batch {std::chrono::milliseconds(20)};
    ASSERT_TRUE(batch.add(dir.write("a.tmp", "a"), dir.path() / "a", 1));
    for (int tries = 0; tries < 2000 && !fs::exists(dir.path() / "a"); ++tries)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(fs::exists(dir.path() / "a"));
}

TEST(PublishBatch, WhatWaitsIsPublishedWhenTheBatchGoesAway)
{
    test::TempDir dir;
    {
        PublishBatch batch {std::chrono::hours(1)};
        ASSERT_TRUE(batch.add(dir.write("a.tmp", "a"), dir.path() / "a", 1));
    }
    EXPECT_EQ(dir.read("a"), "a");
    EXPECT_FALSE(fs::exists(dir.path() / "a.tmp"));
}

TEST_F(PublishBatchTest, FailedRenameDeletesTheRestAndRefusesLaterFiles)
{
    ASSERT_TRUE(add(1));
    ASSERT_TRUE(add(2));
    ASSERT_TRUE(add(3));
    dir_.write("f2/keep", "a folder where file 2 would go");
    Status result = batch_.finish();
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().find("(os error"), std::string::npos) << result.error();
    EXPECT_TRUE(published(1));
    EXPECT_FALSE(waiting(2) || waiting(3) || published(3));
    EXPECT_EQ(batch_.finish().error(), result.error());
}

TEST(PublishBatch, FileAddedAfterAFailedPublicationIsDeletedWithThatFailure)
{
    test::TempDir dir;
    PublishBatch batch {std::chrono::milliseconds(0)};
    dir.write("a/keep", "a folder where file a would go");
    ASSERT_TRUE(batch.add(dir.write("a.tmp", "a"), dir.path() / "a", 1));
    Status later;
    for (int tries = 0; tries < 2000 && later; ++tries) {
        std::this_thread::sleep_for(5ms);
        later = batch.add(dir.write("b.tmp", "b"), dir.path() / "b", 1);
    }
    ASSERT_FALSE(later);
    EXPECT_NE(later.error().find("(os error"), std::string::npos) << later.error();
    EXPECT_FALSE(fs::exists(dir.path() / "b.tmp"));
}

} // namespace
} // namespace torvane
