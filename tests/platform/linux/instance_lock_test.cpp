#include "platform/instance_lock.hpp"
#include "platform/linux/lock_folder.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {
namespace {

namespace fs = std::filesystem;

// Without $XDG_RUNTIME_DIR the lock goes to the user's runtime folder under the runtime root when
// that is the user's own, so a launcher started without the variable meets one started with it;
// any other shape falls back to the temporary folder.
TEST(LockFolder, TheUserRuntimeFolderComesBeforeTheTemporaryFolder)
{
    test::TempDir dir;
    const fs::path root = dir.path() / "run-user";
    const fs::path user = root / std::to_string(::geteuid());
    const fs::path temporary = dir.path() / "tmp";
    const fs::path fallback = temporary / ("torvane-" + std::to_string(::geteuid()));
    const fs::path variable = dir.path() / "xdg";
    auto own_folder = [&](fs::perms mode) {
        fs::create_directories(user);
        fs::permissions(user, mode, fs::perm_options::replace);
    };
    using enum fs::perms;
    struct Case {
        const char* name;
        std::function<void()> plant;
        const char* runtime_variable;
        fs::path expected;
        bool needs_root = false;
    };
    const std::string variable_text = variable.string();
    const Case cases[] = {
        {"no runtime folder", [] {}, nullptr, fallback},
        {"an own folder closed to others", [&] { own_folder(owner_all); }, nullptr, user},
        {"an own folder others may read", [&] { own_folder(owner_all | group_read | group_exec | others_read | others_exec); }, nullptr, user},
        {"an empty variable counts as unset", [&] { own_folder(owner_all); }, "", user},
        {"a relative variable counts as unset", [&] { own_folder(owner_all); }, "run", user},
        {"an absolute variable comes first", [&] { own_folder(owner_all); }, variable_text.c_str(), variable},
        {"the group may write", [&] { own_folder(owner_all | group_all); }, nullptr, fallback},
        {"everyone may write", [&] { own_folder(all); }, nullptr, fallback},
        {"a link to an own folder", [&] { fs::create_directories(dir.path() / "alvo"); fs::create_directories(root); fs::create_directory_symlink(dir.path() / "alvo", user); }, nullptr, fallback},
        {"a file in its place", [&] { dir.write(user.lexically_relative(dir.path()), "x"); }, nullptr, fallback},
        {"another user's folder",
         [&] {
             own_folder(owner_all);
             ASSERT_EQ(::chown(user.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)), 0);
         },
         nullptr, fallback, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needs_root && ::geteuid() != 0) {
            std::printf("skipped: %s (needs root to give a folder away)\n", c.name);
            continue;
        }
        fs::remove_all(root);
        fs::remove_all(temporary);
        fs::create_directories(temporary);
        c.plant();
        auto folder = lock_folder({.runtime_variable = c.runtime_variable, .user_runtime_root = root, .temporary_folder = temporary});
        ASSERT_TRUE(folder) << folder.error();
        EXPECT_EQ(*folder, c.expected);
        EXPECT_EQ(fs::exists(fallback), c.expected == fallback) << "the fallback is made only when used";
    }
}

} // namespace
} // namespace torvane::platform
