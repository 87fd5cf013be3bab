// Clicks and screenshots of a launcher window on a test X server, given in the window's logical
// units: the window tests of both builds drive their windows through these.
#pragma once

#include "support/xvfb_display.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace torvane::test {

// Where a window's client area lies on the screen, and its scale: logical point to screen point.
struct PlacedWindow {
    int x = 0;
    int y = 0;
    float scale = 1;
    std::pair<int, int> at(float lx, float ly) const
    {
        return {x + static_cast<int>(lx * scale), y + static_cast<int>(ly * scale)};
    }
};

// How long a press waits after the pointer moved (so the window has seen the pointer arrive), and
// how long a click is given to have its effect before it is tried again.
struct ClickPacing {
    std::chrono::milliseconds settle;
    std::chrono::milliseconds effect;
};

inline void click_window(XvfbDisplay& display, const PlacedWindow& placed, float lx, float ly, ClickPacing pacing)
{
    auto [x, y] = placed.at(lx, ly);
    EXPECT_TRUE(display.xdotool({"mousemove", std::to_string(x), std::to_string(y)}));
    std::this_thread::sleep_for(pacing.settle);
    EXPECT_TRUE(display.xdotool({"click", "1"}));
}

// Clicks until the condition holds or the limit passes; true when it held.
inline bool click_window_until(XvfbDisplay& display, const PlacedWindow& placed, float lx, float ly,
    const std::function<bool()>& condition, std::chrono::seconds limit, ClickPacing pacing)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        click_window(display, placed, lx, ly, pacing);
        if (wait_until(condition, pacing.effect))
            return true;
    }
    return false;
}

// Saves the screen as <folder>/<running test's name>-<name>.png.
inline void save_test_screenshot(XvfbDisplay& display, const std::filesystem::path& folder, const std::string& name)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    display.save_screenshot(folder / (std::string(info->name()) + "-" + name + ".png"));
}

} // namespace torvane::test
