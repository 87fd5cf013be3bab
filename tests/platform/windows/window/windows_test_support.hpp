// What the Windows window tests share: waiting for the host's events, reading the screen back,
// input through SendInput, and child processes of this test program (see test_main.cpp).
#pragma once

#include "platform/window_host.hpp"

// The W forms of the macros that name resources (IDC_ARROW, IDC_HAND), and std::min and std::max
// left alone.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace torvane::test::windows {

using Clock = std::chrono::steady_clock;

// Events of the window until one of type T arrives or the time-out passes.
template <class T>
std::optional<T> wait_for(platform::Window& window, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    auto deadline = Clock::now() + timeout;
    while (auto event = window.wait_event(deadline))
        if (auto* wanted = std::get_if<T>(&*event))
            return *wanted;
    return std::nullopt;
}

// Every event that arrives within the time given.
std::vector<platform::WindowEvent> events_within(platform::Window& window, std::chrono::milliseconds span);

template <class T>
bool contains(const std::vector<platform::WindowEvent>& events)
{
    for (const platform::WindowEvent& event : events)
        if (std::holds_alternative<T>(event))
            return true;
    return false;
}

// Polls the condition every 10 ms until it holds or the time-out passes.
bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Pixels of a screen area as 0xRRGGBB words, rows packed, read from the screen's device context.
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
ScreenImage capture_screen(RECT area);
// The whole screen as a 32-bit BMP file, for a person to look at.
bool save_screenshot(const std::filesystem::path& bmp);
// Where pictures for a person go: $TORVANE_SCREENSHOT_DIR, else the current folder.
std::filesystem::path screenshot_dir();

// Input as a user makes it: the pointer to a screen point, the left button, the wheel, a key.
void pointer_to(int screen_x, int screen_y);
void left_button(bool down);
void right_click();
void wheel(int delta);
void key_press(WORD virtual_key);

// The launcher window's HWND (the one window of the class in this process).
HWND launcher_hwnd();

// How a child runs: with the display or without one (no DISPLAY in its environment, as on a
// machine whose desktop Wine cannot reach), its standard error kept for the test or not.
struct ChildOptions {
    bool without_display = false;
    bool keep_standard_error = false;
};

// This test program started again with "--child" and the arguments; closed when dropped.
class ChildProcess {
public:
    static std::optional<ChildProcess> start(const std::vector<std::wstring>& arguments, ChildOptions options = {});
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ~ChildProcess();
    // The exit code, or none when it has not ended within the time-out.
    std::optional<DWORD> wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // What the child wrote to its standard error, read to its end (after wait).
    std::string standard_error();

private:
    ChildProcess(HANDLE process, HANDLE error_pipe) : process_(process), error_pipe_(error_pipe) {}
    HANDLE process_ = nullptr;
    HANDLE error_pipe_ = nullptr;
};

// A named event for a child to signal; its name is unique to this test run.
class NamedEvent {
public:
    explicit NamedEvent(const std::wstring& purpose);
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    ~NamedEvent();
    const std::wstring& name() const { return name_; }
    bool wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    void set();

private:
    std::wstring name_;
    HANDLE event_ = nullptr;
};

// The child modes (run by main before GoogleTest when the first argument is "--child").
int run_child(const std::vector<std::wstring>& arguments);

} // namespace torvane::test::windows
