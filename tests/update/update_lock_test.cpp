#include "support/temp_dir.hpp"
#include "update/install_folders.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr char busy[] = "outra atualização do Torvane está em andamento.";

// The lock holder program in a process of its own, with pipes on its standard input and output.
class LockHolder {
public:
    explicit LockHolder(const fs::path& game)
    {
        int input[2], output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        std::string program = TORVANE_LOCK_HOLDER;
        std::string folder = game.string();
        char* argv[] = {program.data(), folder.data(), nullptr};
        int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        to_child_ = input[1];
        from_child_ = output[0];
        if (rc != 0)
            throw std::runtime_error("posix_spawn");
    }
    ~LockHolder()
    {
        release();
        wait();
        ::close(from_child_);
    }

    // The first line the holder writes, waiting at most ten seconds.
    std::string first_line()
    {
        std::string line;
        char c;
        pollfd ready {from_child_, POLLIN, 0};
        while (::poll(&ready, 1, 10'000) == 1 && ::read(from_child_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    // Closes the holder's input, so that it lets the lock go and ends.
    void release()
    {
        if (to_child_ >= 0)
            ::close(to_child_);
        to_child_ = -1;
    }
    int wait()
    {
        if (pid_ > 0) {
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    int to_child_ = -1;
    int from_child_ = -1;
};

TEST(UpdateLock, SecondProcessIsRefusedWhileTheFirstHoldsIt)
{
    test::TempDir game;
    LockHolder first(game.path());
    ASSERT_EQ(first.first_line(), "held");

    LockHolder second(game.path());
    EXPECT_EQ(second.first_line(), busy);
    EXPECT_EQ(second.wait(), 1);
    auto here = take_update_lock(game.path());
    ASSERT_FALSE(here);
    EXPECT_EQ(here.error(), busy);

    first.release();
    EXPECT_EQ(first.wait(), 0);
    EXPECT_TRUE(take_update_lock(game.path()));
}

TEST(UpdateLock, HeldForTheObjectsLifetimeAndTheFileStays)
{
    test::TempDir game;
    {
        auto lock = take_update_lock(game.path());
        ASSERT_TRUE(lock) << lock.error();
        EXPECT_EQ(take_update_lock(game.path()).error(), busy); // a second open in this process too
        LockHolder other(game.path());
        EXPECT_EQ(other.first_line(), busy);
    }
    EXPECT_TRUE(take_update_lock(game.path()));
    EXPECT_EQ(fs::file_size(game.path() / "update.lock"), 0u);
}

TEST(UpdateLock, UnopenableLockFileCountsAsBusy)
{
    test::TempDir game;
    fs::create_directory(game.path() / "update.lock");
    EXPECT_EQ(take_update_lock(game.path()).error(), busy);
    EXPECT_EQ(take_update_lock(game.path() / "missing-folder").error(), busy);
}

} // namespace
} // namespace torvane
