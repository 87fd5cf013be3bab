// The manifest generator's result box on a real display.
#include "support/temp_dir.hpp"
#include "support/xvfb_display.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace torvane {
namespace {

using namespace std::chrono_literals;

TEST(ToolMessageBox, TheGeneratorShowsItsResultInABoxOnTheDisplay)
{
    auto display = test::XvfbDisplay::start({.window_manager = true});
    ASSERT_TRUE(display);
    test::TempDir dir;
    dir.write("game/Main.exe", "x");
    const std::filesystem::path game = dir.path() / "game";

    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("DISPLAY", display->name().c_str(), 1);
        ::setenv("LANG", "C.UTF-8", 1);
        ::execl(TORVANE_PROGRAM, TORVANE_PROGRAM, "--gerar-manifesto", game.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The box is captioned "Torvane" and waits for the player.
    bool shown = test::wait_until([&] { return !display->windows_titled("Torvane").empty(); }, 20s);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the generator ended without waiting for its box";
    if (shown)
        EXPECT_TRUE(display->xdotool({"key", "Return"}));
    else
        ::kill(pid, SIGKILL);
    ASSERT_TRUE(shown);
    bool ended = test::wait_until([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 10s);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::filesystem::exists(game / "manifest.json"));
}

} // namespace
} // namespace torvane
