// What the window host asks of X11 directly, where SDL has no call or its result is not what the
// launcher needs: the Xft.dpi resource and the screen's own DPI, the window's WM_CLASS, WM_NAME,
// decorations and its icon at several sizes.
#pragma once

#include "platform/window_host.hpp"

#include <optional>
#include <span>
#include <string_view>

// Xlib's own header defines macros (None, Bool, Status) that clash with other code.
typedef struct _XDisplay Display;

namespace torvane::platform::x11 {

using XWindow = unsigned long; // Xlib's Window, an XID

// The DPI values the server offers: the "Xft.dpi" resource of its RESOURCE_MANAGER string (none
// when missing, not a number or not positive) and the default screen's size in pixels over its
// size in millimetres (none when the server gives no size).
struct ServerDpi {
    std::optional<float> xft;
    std::optional<float> screen;
};
ServerDpi server_dpi(Display* display);
// The same from a connection of its own to $DISPLAY; both none when there is no display.
ServerDpi server_dpi_of_default_display();
// Parses the resource text itself ("Xft.dpi:\t192" among other lines).
std::optional<float> xft_dpi_from_resources(std::string_view resources);

// WM_CLASS: the instance name and the class. Set before the window is first mapped.
void set_window_class(Display* display, XWindow window, const char* instance, const char* window_class);

// WM_NAME in the encoding the ICCCM asks for (STRING when the text is Latin-1, else
// COMPOUND_TEXT); SDL writes UTF-8 bytes into a STRING, which readers show garbled.
void set_legacy_title(Display* display, XWindow window, const char* title);

// No decorations through _MOTIF_WM_HINTS, even when no window manager has named that atom yet
// (SDL then falls back to making the window transient for the root, which takes it off
// task bars; that fallback is removed here).
void set_undecorated(Display* display, XWindow window);

// _NET_WM_ICON with every icon given, so the desktop picks the size it draws.
void set_window_icons(Display* display, XWindow window, std::span<const WindowIcon> icons);

} // namespace torvane::platform::x11
