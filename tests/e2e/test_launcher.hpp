// The loopback launcher as the end-to-end tests place it in a game folder.
#pragma once

#include "update/self_update.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace torvane::test {

// Copies build/e2e/torvane to the path. A sanitizer build of it is larger than the largest launcher
// the service may publish, and the self-update tests publish this very file, so such a copy loses
// its debug sections.
inline void copy_test_launcher(const std::filesystem::path& to)
{
    std::filesystem::copy_file(TORVANE_E2E_LAUNCHER, to, std::filesystem::copy_options::overwrite_existing);
    if (std::filesystem::file_size(to) > launcher_max_size) {
        EXPECT_EQ(std::system(("objcopy --strip-debug '" + to.string() + "'").c_str()), 0);
    }
}

} // namespace torvane::test
