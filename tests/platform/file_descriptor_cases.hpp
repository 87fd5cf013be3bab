// The FileDescriptor ownership case that both builds run, over each system's way of opening a
// descriptor and of telling whether one is still open.
#pragma once

#include "platform/file_descriptor.hpp"

#include <gtest/gtest.h>

namespace torvane::test {

// Moves, assignments and the end of scope close each descriptor once, and only the one the
// assigned-to owner held.
inline void expect_each_descriptor_closed_once(int (*open_one)(), bool (*is_open_descriptor)(int))
{
    const int first = open_one();
    const int second = open_one();
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    {
        platform::FileDescriptor a(first);
        platform::FileDescriptor b(std::move(a));
        EXPECT_FALSE(a.is_open());
        EXPECT_EQ(b.get(), first);

        platform::FileDescriptor c(second);
        c = std::move(b); // the descriptor c held is closed, first moves on
        EXPECT_FALSE(is_open_descriptor(second));
        EXPECT_TRUE(is_open_descriptor(first));
        EXPECT_EQ(c.get(), first);

        platform::FileDescriptor& same = c;
        c = std::move(same); // an owner assigned to itself keeps its descriptor
        EXPECT_TRUE(is_open_descriptor(first));
        EXPECT_EQ(c.get(), first);
    }
    EXPECT_FALSE(is_open_descriptor(first));
}

} // namespace torvane::test
