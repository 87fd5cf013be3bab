// SDL's video subsystem as the Linux window host holds it, and the scale of a display: what
// open_display and create_window share.
#pragma once

#include "platform/linux/x11_window.hpp"
#include "platform/result.hpp"

#include <optional>
#include <utility>

namespace torvane::platform {

// One reference to SDL's video subsystem (SDL counts them); the last one closes the display
// connection, so a process may open a display again later, even another one.
class SdlVideo {
public:
    // Fails with a Portuguese message when there is no display.
    static Result<SdlVideo> start();
    SdlVideo(SdlVideo&& other) noexcept : active_(std::exchange(other.active_, false)) {}
    SdlVideo& operator=(SdlVideo&&) = delete;
    ~SdlVideo();

private:
    SdlVideo() = default;
    bool active_ = true;
};

// The scale of a display: Xft.dpi / 96 when the server has the resource (the desktop's chosen
// scale, one for every monitor on X11), else the DPI SDL measures for that display (from the
// monitor's size RandR reports) / 96. Servers that report no monitor size (Xvfb, some
// projectors) still give the screen's DPI; only with none of the three is the scale 1.
float display_scale(const x11::ServerDpi& server, int display_index);

// open_display's reference, kept for the create_window that follows, so that the launcher's start
// connects to the display once; create_window lets it go.
std::optional<SdlVideo>& video_held_for_window();

} // namespace torvane::platform
