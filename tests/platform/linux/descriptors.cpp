#include "../descriptors.hpp"

#include <fcntl.h>

namespace torvane::test {

int open_descriptor() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

bool is_open_descriptor(int descriptor) { return ::fcntl(descriptor, F_GETFD) != -1; }

} // namespace torvane::test
