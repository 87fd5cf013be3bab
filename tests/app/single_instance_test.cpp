// The single-instance rule with real processes and the real lock file: launcher starts are the
// instance probe (the rule alone, with its times given on the command line) and the launcher
// program itself, both copied into a game folder of the test's own so that their replaced
// executable ("<program>.old") and cached configuration live there.
#include "app/single_instance.hpp"
#include "instance_processes.hpp"
#include "platform/instance_lock.hpp"
#include "platform/linux/lock_folder.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::Child;
using test::clean_environment;
using test::eventually;
using SingleInstance = test::InstanceFolders;

TEST_F(SingleInstance, FirstStartTakesTheLockAndASecondActivatesAndExitsAtOnce)
{
    auto first = first_instance();
    EXPECT_TRUE(fs::is_regular_file(lock_file()));
    EXPECT_FALSE(fs::exists(probe_old()));

    // Without a replaced executable the second start does not wait: it ends well before the
    // 20 s hand-over wait could have run out, while the first still holds the lock.
    Child second(launcher(), {}, environment_);
    EXPECT_EQ(second.ended_within(10s), 0);
    auto probe_again = start_probe();
    EXPECT_EQ(probe_again->line(), "activated");
    EXPECT_EQ(probe_again->wait(), 0);

    first->close_input();
    EXPECT_EQ(first->wait(), 0);
    auto after = start_probe();
    EXPECT_EQ(after->line(), "proceed");
}

TEST_F(SingleInstance, AfterASelfUpdateTheNewLauncherWaitsForTheOldOneAndDeletesTheReplacedFile)
{
    enum class End { Exit, Killed };
    for (End end : {End::Exit, End::Killed}) {
        SCOPED_TRACE(end == End::Exit ? "the old launcher exits" : "the old launcher is killed");
        auto old_launcher = first_instance();
        // The swap happens while the old launcher runs.
        root_.write(probe_old().lexically_relative(root_.path()), "executável anterior");

        auto new_launcher = start_probe();
        EXPECT_EQ(new_launcher->line(300ms), std::nullopt) << "the new launcher must wait";
        EXPECT_TRUE(fs::exists(probe_old()));

        if (end == End::Exit)
            old_launcher->close_input();
        else
            old_launcher->kill();
        old_launcher->wait();
        EXPECT_EQ(new_launcher->line(), "proceed");
        EXPECT_TRUE(eventually([&] { return !fs::exists(probe_old()); }));

        // The new launcher holds the lock now.
        auto another = start_probe();
        EXPECT_EQ(another->line(), "activated");
        new_launcher->close_input();
        EXPECT_EQ(new_launcher->wait(), 0);
    }
}

TEST_F(SingleInstance, AHandOverThatWaitsInVainActivatesTheRunningLauncher)
{
    auto old_launcher = first_instance();
    root_.write(probe_old().lexically_relative(root_.path()), "executável anterior");

    auto new_launcher = start_probe({"--wait", "300"});
    EXPECT_EQ(new_launcher->line(), "activated");
    EXPECT_EQ(new_launcher->wait(), 0);
    // It never owned the lock, so it deleted nothing.
    EXPECT_TRUE(fs::exists(probe_old()));
    auto another = start_probe({"--wait", "0"});
    EXPECT_EQ(another->line(), "activated");
}

TEST_F(SingleInstance, ALeftoverReplacedFileIsDeletedByTheNextStart)
{
    root_.write(probe_old().lexically_relative(root_.path()), "executável anterior");
    auto launcher = first_instance();
    EXPECT_TRUE(eventually([&] { return !fs::exists(probe_old()); }));
}

// Lock folders the launcher must not use: it then runs without single-instance protection, so a
// second start proceeds as well. A sound folder is made and used.
TEST_F(SingleInstance, ARefusedLockFolderLeavesTheLauncherUnprotected)
{
    const fs::path temporary = root_.path() / "tmp";
    const fs::path own = temporary / ("torvane-" + std::to_string(::geteuid()));
    const fs::path elsewhere = root_.path() / "alheia";
    struct Case {
        const char* name;
        bool runtime_folder;                // $XDG_RUNTIME_DIR set, else the temporary folder
        std::function<void()> plant;
        bool protected_;
    };
    const Case cases[] = {
        {"the own folder is made under the temporary folder", false, [] {}, true},
        {"a relative runtime folder is ignored", false, [&] { environment_["XDG_RUNTIME_DIR"] = "run"; }, true},
        {"the own folder is a link", false, [&] { fs::create_directory_symlink(elsewhere, own); }, false},
        {"the own folder is open to others", false,
         [&] {
             fs::create_directory(own);
             fs::permissions(own, fs::perms::all, fs::perm_options::replace);
         },
         false},
        {"the own folder belongs to another user", false,
         [&] {
             fs::create_directory(own);
             ASSERT_EQ(::chown(own.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)), 0);
         },
         false},
        {"the lock file is a link", true,
         [&] { fs::create_symlink(elsewhere / "trava", runtime() / platform::instance_lock_file_name()); },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name).find("another user") != std::string::npos && ::geteuid() != 0) {
            std::printf("skipped: %s (needs root to give a folder away)\n", c.name);
            continue;
        }
        fs::remove_all(temporary);
        fs::remove_all(elsewhere);
        fs::remove(runtime() / platform::instance_lock_file_name());
        fs::create_directories(temporary);
        fs::create_directories(elsewhere);
        environment_ = clean_environment();
        environment_["TMPDIR"] = temporary.string();
        if (c.runtime_folder)
            environment_["XDG_RUNTIME_DIR"] = runtime().string();
        c.plant();

        auto first = first_instance();
        auto second = start_probe();
        EXPECT_EQ(second->line(), c.protected_ ? "activated" : "proceed");
        EXPECT_TRUE(fs::is_empty(elsewhere));
        if (c.protected_) {
            struct stat info {};
            ASSERT_EQ(::lstat(own.c_str(), &info), 0);
            EXPECT_TRUE(S_ISDIR(info.st_mode));
            EXPECT_EQ(info.st_mode & 0777, 0700u);
            EXPECT_TRUE(fs::is_regular_file(own / platform::instance_lock_file_name()));
        }
    }
}

// A session that sets $XDG_RUNTIME_DIR and one that does not share the user's runtime folder: a
// launcher started from either finds the lock of one started from the other.
TEST_F(SingleInstance, StartsWithAndWithoutTheRuntimeVariableShareOneLock)
{
    const fs::path user_runtime = user_runtime_root() / std::to_string(::geteuid());
    fs::create_directories(user_runtime);
    fs::permissions(user_runtime, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(root_.path() / "tmp");
    environment_["TMPDIR"] = (root_.path() / "tmp").string();
    for (bool first_has_variable : {true, false}) {
        SCOPED_TRACE(first_has_variable ? "the first start has the variable" : "the second start has it");
        auto set_variable = [&](bool set) {
            if (set)
                environment_["XDG_RUNTIME_DIR"] = user_runtime.string();
            else
                environment_.erase("XDG_RUNTIME_DIR");
        };
        set_variable(first_has_variable);
        auto first = first_instance();
        set_variable(!first_has_variable);
        auto second = start_probe();
        EXPECT_EQ(second->line(), "activated");
        EXPECT_EQ(second->ended_within(10s), 0);
        first->close_input();
        EXPECT_EQ(first->wait(), 0);
    }
    EXPECT_TRUE(fs::is_regular_file(user_runtime / platform::instance_lock_file_name()));
    EXPECT_FALSE(fs::exists(root_.path() / "tmp" / ("torvane-" + std::to_string(::geteuid()))));
}

TEST(DeleteOldExeWorker, DeletesWithinItsAttemptsOrLeavesTheFileForTheNextStart)
{
    const InstanceTimes quick {.handover_wait = 0ms, .delete_attempts = 5, .delete_pause = 20ms};
    test::TempDir root;
    const fs::path old_exe = root.path() / "torvane.old";

    // A plain file goes at once; a missing one is nothing to do.
    root.write("torvane.old", "MZ");
    delete_old_exe_worker(old_exe, quick);
    EXPECT_FALSE(fs::exists(old_exe));
    delete_old_exe_worker(old_exe, quick);

    // Something that cannot be deleted stays when the attempts are used up.
    root.write("torvane.old/preso", "x");
    delete_old_exe_worker(old_exe, quick);
    EXPECT_TRUE(fs::exists(old_exe / "preso"));

    // Deletable by a later attempt: the undeletable folder trades places with a plain file while
    // the worker retries.
    root.write("solto", "MZ");
    std::thread exchange([&] {
        std::this_thread::sleep_for(50ms);
        ::renameat2(AT_FDCWD, (root.path() / "solto").c_str(), AT_FDCWD, old_exe.c_str(), RENAME_EXCHANGE);
    });
    delete_old_exe_worker(old_exe, {.handover_wait = 0ms, .delete_attempts = 30, .delete_pause = 20ms});
    exchange.join();
    EXPECT_TRUE(fs::is_regular_file(root.path() / "solto/preso"));
    EXPECT_FALSE(fs::exists(old_exe));
}

TEST(InstanceLock, ANormalExitAndARestartRacingReleaseItExactlyOnce)
{
    test::TempDir runtime;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::optional<std::string> previous = saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const fs::path lock_file = runtime.path() / platform::instance_lock_file_name();

    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(platform::create_instance_mutex(), platform::InstanceLock::Owned);
        // release_instance_mutex is this call without its answer.
        std::atomic<int> released {0};
        std::barrier start(2);
        auto release = [&] {
            start.arrive_and_wait();
            released += platform::take_and_release_instance_mutex() ? 1 : 0;
        };
        std::thread exit_path(release);
        std::thread restart_path(release);
        exit_path.join();
        restart_path.join();
        ASSERT_EQ(released.load(), 1);

        // Let go: another open of the file takes it.
        int other = ::open(lock_file.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(other, 0);
        EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        ::close(other);
    }
    EXPECT_FALSE(platform::take_and_release_instance_mutex());
    platform::release_instance_mutex(); // nothing left to let go

    if (previous)
        ::setenv("XDG_RUNTIME_DIR", previous->c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
} // namespace torvane
