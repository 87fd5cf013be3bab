// What the single-instance tests share: programs in processes of their own (the instance probe,
// the launcher, the X server and its window manager) and a fixture with a game folder holding
// copies of the probe and the launcher, and a runtime folder for the lock file.
#pragma once

#include "platform/instance_lock.hpp"
#include "platform/linux/lock_folder.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <memory>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace torvane::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using Environment = std::map<std::string, std::string>;

// The test's own environment without the variables that choose the lock folder and the display.
inline Environment clean_environment()
{
    Environment environment;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        auto equals = text.find('=');
        if (equals == std::string::npos)
            continue;
        std::string name = text.substr(0, equals);
        if (name != "XDG_RUNTIME_DIR" && name != "TMPDIR" && name != "DISPLAY")
            environment[name] = text.substr(equals + 1);
    }
    return environment;
}

// A program in a process of its own, with pipes on its standard input and output.
class Child {
public:
    Child(const fs::path& program, const std::vector<std::string>& arguments, const Environment& environment,
          std::optional<int> output_fd = std::nullopt)
    {
        int input[2], output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        if (output_fd)
            posix_spawn_file_actions_adddup2(&actions, output[1], *output_fd);
        std::vector<std::string> words {program.string()};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<std::string> pairs;
        for (const auto& [name, value] : environment)
            pairs.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (auto& pair : pairs)
            envp.push_back(pair.data());
        envp.push_back(nullptr);
        int rc = ::posix_spawnp(&pid_, words[0].c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        to_child_ = input[1];
        from_child_ = output[0];
        if (rc != 0)
            throw std::runtime_error("posix_spawn " + program.string());
    }
    ~Child()
    {
        close_input();
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        ::close(from_child_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next line the program writes; none when it writes none within the time given.
    std::optional<std::string> line(std::chrono::milliseconds within = 15s)
    {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + within;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd ready {from_child_, POLLIN, 0};
            char c;
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) != 1
                || ::read(from_child_, &c, 1) != 1)
                return std::nullopt;
            if (c == '\n')
                return text;
            text += c;
        }
    }
    // Closing its input tells a probe to let the lock go and end.
    void close_input()
    {
        if (to_child_ >= 0)
            ::close(to_child_);
        to_child_ = -1;
    }
    void kill() { ::kill(pid_, SIGKILL); }
    // Asks the program to end (SIGTERM) and waits for it.
    void terminate()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            wait();
        }
    }
    // The exit code, or -1 when the program was killed by a signal.
    int wait()
    {
        if (pid_ > 0) {
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    // The exit code when the program ends within the time given; none while it still runs.
    std::optional<int> ended_within(std::chrono::milliseconds within)
    {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    int to_child_ = -1;
    int from_child_ = -1;
};

inline bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds within = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A game folder with copies of the probe and of the launcher, and a runtime folder of its own.
class InstanceFolders : public ::testing::Test {
protected:
    InstanceFolders()
    {
        fs::create_directories(game());
        fs::create_directory(runtime());
        fs::permissions(runtime(), fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(TORVANE_INSTANCE_PROBE, probe());
        environment_ = clean_environment();
        environment_["XDG_RUNTIME_DIR"] = runtime().string();
    }

    fs::path game() const { return root_.path() / "jogo"; }
    fs::path runtime() const { return root_.path() / "run"; }
    fs::path probe() const { return game() / "sonda"; }
    fs::path probe_old() const { return game() / "sonda.old"; }
    fs::path lock_file() const { return runtime() / platform::instance_lock_file_name(); }

    // The launcher itself in the game folder (copied on first use: it is large).
    fs::path launcher()
    {
        fs::path copy = game() / "torvane";
        if (!fs::exists(copy))
            fs::copy_file(TORVANE_PROGRAM, copy);
        return copy;
    }

    // The probe's runtime root stands in for /run/user, so that no probe meets the machine's own.
    fs::path user_runtime_root() const { return root_.path() / "run-user"; }
    std::unique_ptr<Child> start_probe(const std::vector<std::string>& arguments = {})
    {
        std::vector<std::string> words {"--user-runtime-root", user_runtime_root().string()};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return std::make_unique<Child>(probe(), words, environment_);
    }
    // A probe that proceeded and holds the lock.
    std::unique_ptr<Child> first_instance(const std::vector<std::string>& arguments = {})
    {
        auto first = start_probe(arguments);
        EXPECT_EQ(first->line(), "proceed");
        return first;
    }

    test::TempDir root_;
    Environment environment_;
};

} // namespace torvane::test
