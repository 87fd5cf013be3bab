#include "platform/file_descriptor.hpp"
#include "file_descriptor_cases.hpp"

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
    test::expect_each_descriptor_closed_once(open_null, is_open_descriptor);
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
