// What the single-instance tests share: the environment their processes (the instance probe, the
// launcher, the X server and its window manager) start with, and a fixture with a game folder
// holding copies of the probe and the launcher, and a runtime folder for the lock file.
#pragma once

#include "platform/instance_lock.hpp"
#include "platform/linux/lock_folder.hpp"
#include "support/linux/child_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace torvane::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The test's own environment without the variables that choose the lock folder and the display.
inline Environment clean_environment()
{
    Environment environment = current_environment();
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "DISPLAY"})
        environment.erase(name);
    return environment;
}

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
