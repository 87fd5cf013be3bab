// The FileDescriptor case of Linux's own: close(2)'s errno.
#include "../descriptors.hpp"
#include "platform/file_descriptor.hpp"

#include <gtest/gtest.h>

#include <cerrno>

namespace torvane::platform {
namespace {

TEST(FileDescriptor, CloseReportsOnlyARealFailure)
{
    FileDescriptor none;
    EXPECT_TRUE(none.close());

    int fd = test::open_descriptor();
    ASSERT_GE(fd, 0);
    FileDescriptor owner(fd);
    EXPECT_TRUE(owner.close());
    EXPECT_FALSE(owner.is_open());
    EXPECT_FALSE(test::is_open_descriptor(fd));
    EXPECT_TRUE(owner.close()); // nothing left to close

    // A number that names no open descriptor fails with EBADF and is released all the same.
    FileDescriptor stale(fd);
    errno = 0;
    EXPECT_FALSE(stale.close());
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(stale.is_open());
}

} // namespace
} // namespace torvane::platform
