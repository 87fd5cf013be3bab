// Checks one row of a reader's table: the record read, or the error text when one is expected.
#pragma once

#include "platform/result.hpp"

#include <gtest/gtest.h>

#include <string>

namespace torvane::test {

template <class T>
void expect_read(const Result<T>& result, const T& expected, const std::string& error)
{
    if (error.empty()) {
        ASSERT_TRUE(result) << result.error();
        EXPECT_EQ(*result, expected);
    } else {
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), error);
    }
}

} // namespace torvane::test
