#include "platform/file_descriptor.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace torvane::platform {
namespace {

bool is_open_descriptor(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

int open_null() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

TEST(FileDescriptor, ClosesExactlyOnceWhateverHappensToTheOwner)
{
    int first = open_null();
    int second = open_null();
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    {
        FileDescriptor a(first);
        FileDescriptor b(std::move(a));
        EXPECT_FALSE(a.is_open());
        EXPECT_EQ(b.get(), first);

        FileDescriptor c(second);
        c = std::move(b); // the descriptor c held is closed, first moves on
        EXPECT_FALSE(is_open_descriptor(second));
        EXPECT_TRUE(is_open_descriptor(first));
        EXPECT_EQ(c.get(), first);
    }
    EXPECT_FALSE(is_open_descriptor(first));
}

TEST(FileDescriptor, CloseReportsOnlyARealFailure)
{
    FileDescriptor none;
    EXPECT_TRUE(none.close());

    int fd = open_null();
    ASSERT_GE(fd, 0);
    FileDescriptor owner(fd);
    EXPECT_TRUE(owner.close());
    EXPECT_FALSE(owner.is_open());
    EXPECT_FALSE(is_open_descriptor(fd));
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
