#include "platform/file_descriptor.hpp"
#include "descriptors.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

// Moves, assignments and the end of scope close each descriptor once, and only the one the
// assigned-to owner held.
TEST(FileDescriptor, ClosesExactlyOnceWhateverHappensToTheOwner)
{
    const int first = test::open_descriptor();
    const int second = test::open_descriptor();
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    {
        FileDescriptor a(first);
        FileDescriptor b(std::move(a));
        EXPECT_FALSE(a.is_open());
        EXPECT_EQ(b.get(), first);

        FileDescriptor c(second);
        c = std::move(b); // the descriptor c held is closed, first moves on
        EXPECT_FALSE(test::is_open_descriptor(second));
        EXPECT_TRUE(test::is_open_descriptor(first));
        EXPECT_EQ(c.get(), first);

        FileDescriptor& same = c;
        c = std::move(same); // an owner assigned to itself keeps its descriptor
        EXPECT_TRUE(test::is_open_descriptor(first));
        EXPECT_EQ(c.get(), first);
    }
    EXPECT_FALSE(test::is_open_descriptor(first));
}

} // namespace
} // namespace torvane::platform
