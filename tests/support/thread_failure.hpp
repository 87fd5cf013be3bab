// Makes every thread this process starts from now on fail to start, as on a system out of threads
// or of memory for their stacks: the default stack becomes larger than any address space. For
// death tests, whose child process is the one that loses its threads.
#pragma once

#include <pthread.h>

#include <cstddef>

namespace torvane::test {

inline bool make_thread_starts_fail()
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    bool set = pthread_attr_setstacksize(&attributes, std::size_t{1} << 52) == 0
        && pthread_setattr_default_np(&attributes) == 0;
    pthread_attr_destroy(&attributes);
    return set;
}

} // namespace torvane::test
