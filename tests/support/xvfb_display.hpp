// A private X server for window tests: Xvfb on a display number it picks itself, optionally with
// openbox as the window manager, plus the small tools a test needs to look at and drive windows
// on it (xdotool, X resources, window properties, screen images).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _XDisplay Display;

namespace torvane::test {

struct XvfbOptions {
    int width = 1600;
    int height = 1000;
    int dpi = 96;                // the screen's physical size is derived from it
    bool window_manager = false; // start openbox and wait until it manages the screen
    bool shared_memory = true;   // false: the server offers no MIT-SHM (as a remote one)
};

struct CommandResult {
    int exit_code = -1; // -1: it could not be started, was killed or timed out
    std::string output; // standard output
};

// Client area of a window in root (screen) coordinates.
struct WindowGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

// Pixels of a screen area as 0xRRGGBB words, rows packed.
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Polls the condition every 10 ms until it holds or the time-out passes; true when it held.
bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

class XvfbDisplay {
public:
    // Starts the server and waits until it accepts connections (and the window manager runs, when
    // asked). Null, with the reason on standard error, when it does not come up.
    static std::unique_ptr<XvfbDisplay> start(const XvfbOptions& options = {});
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // ":N", the value of DISPLAY for programs that should use this server.
    const std::string& name() const { return name_; }
    // Points this process's DISPLAY at the server (for code under test in the same process).
    void make_default() const;

    // Runs a program (looked up on PATH) with DISPLAY set to this server, the text given on its
    // standard input; kills it after the time-out.
    CommandResult run(const std::vector<std::string>& command, std::string_view input = {},
        std::chrono::seconds timeout = std::chrono::seconds(30)) const;
    // xdotool with the arguments; true when it exits 0.
    bool xdotool(const std::vector<std::string>& arguments) const;
    // Merges resource lines ("Xft.dpi: 192") into the server's RESOURCE_MANAGER (xrdb).
    bool merge_resources(std::string_view lines) const;

    // Top-level windows (direct children of the root or of a window manager's frame) whose
    // WM_CLASS class is `window_class`.
    std::vector<unsigned long> windows_of_class(std::string_view window_class) const;
    // Top-level windows whose _NET_WM_NAME (else WM_NAME) is the title.
    std::vector<unsigned long> windows_titled(std::string_view title) const;
    // Top-level windows transient for the owner (its dialogs and message boxes).
    std::vector<unsigned long> windows_transient_for(unsigned long owner) const;
    // Waits until exactly one viewable window of the class exists; none after the time-out.
    std::optional<unsigned long> wait_for_window(std::string_view window_class,
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // A text property (STRING, UTF8_STRING or COMPOUND_TEXT) of a window, e.g. "WM_NAME", "_NET_WM_NAME".
    std::optional<std::string> text_property(unsigned long window, const char* property) const;
    // A 32-bit property as its words, e.g. "_NET_WM_ICON", "_MOTIF_WM_HINTS", "WM_TRANSIENT_FOR".
    std::vector<unsigned long> word_property(unsigned long window, const char* property) const;
    // WM_CLASS as its two strings: instance name and class.
    std::optional<std::pair<std::string, std::string>> window_class(unsigned long window) const;
    std::optional<WindowGeometry> geometry(unsigned long window) const;
    bool is_viewable(unsigned long window) const;
    // The window manager's _NET_WM_STATE contains _NET_WM_STATE_HIDDEN, or WM_STATE is iconic.
    bool is_iconic(unsigned long window) const;

    // What a window manager's close button does: WM_DELETE_WINDOW sent to the window.
    bool request_close(unsigned long window) const;

    // The screen's pixels (the whole root window, or an area of it).
    std::optional<ScreenImage> capture() const;
    std::optional<ScreenImage> capture(const WindowGeometry& area) const;
    // The whole screen as a PNG file (imagemagick's import), for a person to look at.
    bool save_screenshot(const std::filesystem::path& png) const;

private:
    XvfbDisplay() = default;
    Display* connection() const;
    // Children of the root, and their children (the client inside a window manager's frame).
    std::vector<unsigned long> top_level_windows_where(const std::function<bool(unsigned long)>& matches) const;
    void stop_process(int& pid);

    std::string name_;
    int server_pid_ = -1;
    int window_manager_pid_ = -1;
    mutable Display* display_ = nullptr;
};

} // namespace torvane::test
