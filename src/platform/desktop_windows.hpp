// Top-level windows of other programs on the user's display, so that a second launcher can find
// the running one's window and bring it to the front. With no display nothing is ever found.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace torvane::platform {

// A window of another program on the display.
struct DesktopWindow {
    std::uint64_t id = 0;
};

class DesktopWindows {
public:
    // Connects to the display the environment names; without one, the object finds nothing.
    static DesktopWindows connect();
    DesktopWindows(DesktopWindows&&) noexcept;
    DesktopWindows& operator=(DesktopWindows&&) noexcept;
    ~DesktopWindows();

    // The first top-level window whose WM_CLASS class is window_class.
    std::optional<DesktopWindow> find_by_class(std::string_view window_class);
    // The first top-level window whose _NET_WM_NAME or WM_NAME is exactly title.
    std::optional<DesktopWindow> find_by_title(std::string_view title);
    // De-iconifies the window and makes it the active one: through the window manager when it
    // supports _NET_ACTIVE_WINDOW, else by mapping, raising and focusing it directly.
    void activate(DesktopWindow window);

private:
    struct Connection;
    explicit DesktopWindows(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection_;
};

} // namespace torvane::platform
