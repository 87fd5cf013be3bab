#include "platform/linux/sdl_display.hpp"

#include "platform/window_host.hpp"

#include <SDL.h>

#include <cmath>
#include <string>

namespace torvane::platform {

namespace {

constexpr float base_dpi = 96;

} // namespace

Result<SdlVideo> SdlVideo::start()
{
    // Hints are read when the subsystem starts. The launcher speaks X11 (WM_CLASS, Xft.dpi);
    // SIGINT and SIGTERM keep their default meaning; no GPU is asked for (the window's pixels
    // are the host's own, see x11_framebuffer.hpp); the pointer is captured only when the UI
    // asks; a launcher neither stops the screen saver nor asks a compositor to step aside as a
    // game would.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return failure(std::string("Não foi possível conectar à tela: ") + SDL_GetError());
    return SdlVideo();
}

SdlVideo::~SdlVideo()
{
    if (active_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

float display_scale(const x11::ServerDpi& server, int display_index)
{
    // DPI values are whole numbers on every desktop; a measured 94.3 would make a 1078-pixel window.
    if (server.xft)
        return std::round(*server.xft) / base_dpi;
    float horizontal = 0;
    if (display_index >= 0 && SDL_GetDisplayDPI(display_index, nullptr, &horizontal, nullptr) == 0 && horizontal > 0)
        return std::round(horizontal) / base_dpi;
    if (server.screen)
        return *server.screen / base_dpi;
    return 1;
}

std::optional<SdlVideo>& video_held_for_window()
{
    static std::optional<SdlVideo> held;
    return held;
}

Result<DisplayInfo> open_display()
{
    video_held_for_window().reset();
    SdlVideo video = TRY(SdlVideo::start());
    DisplayInfo info;
    info.system_scale = display_scale(x11::server_dpi_of_default_display(), 0);
    SDL_Rect usable {};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 && SDL_GetDisplayBounds(0, &usable) != 0)
        return failure(std::string("Não foi possível conectar à tela: ") + SDL_GetError());
    info.usable_bounds = {usable.x, usable.y, usable.w, usable.h};
    video_held_for_window().emplace(std::move(video));
    return info;
}

} // namespace torvane::platform
