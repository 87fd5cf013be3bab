#include "platform/linux/x11_window.hpp"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <vector>

namespace torvane::platform::x11 {

std::optional<float> xft_dpi_from_resources(std::string_view resources)
{
    // Lines "name:\tvalue"; the server's string holds the database as xrdb loaded it, one
    // resource a line with blanks around the value.
    constexpr std::string_view key = "Xft.dpi:";
    while (!resources.empty()) {
        std::size_t end = resources.find('\n');
        std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        if (!line.starts_with(key))
            continue;
        std::string_view value = line.substr(key.size());
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
            value.remove_suffix(1);
        float dpi = 0;
        auto [rest, error] = std::from_chars(value.data(), value.data() + value.size(), dpi);
        if (error != std::errc() || rest != value.data() + value.size() || !(dpi > 0))
            return std::nullopt;
        return dpi;
    }
    return std::nullopt;
}

ServerDpi server_dpi(Display* display)
{
    ServerDpi dpi;
    if (const char* resources = XResourceManagerString(display))
        dpi.xft = xft_dpi_from_resources(resources);
    int screen = DefaultScreen(display);
    int millimetres = DisplayWidthMM(display, screen);
    // The size is whole millimetres, so the quotient is a little off (1600 pixels over 423 mm
    // give 96.08): a whole DPI is what was meant.
    if (millimetres > 0)
        dpi.screen = std::round(static_cast<float>(DisplayWidth(display, screen)) * 25.4f / static_cast<float>(millimetres));
    return dpi;
}

ServerDpi server_dpi_of_default_display()
{
    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display)
        return {};
    return server_dpi(display.get());
}

void set_window_class(Display* display, XWindow window, const char* instance, const char* window_class)
{
    XClassHint hint {const_cast<char*>(instance), const_cast<char*>(window_class)};
    XSetClassHint(display, window, &hint);
    XFlush(display);
}

void set_legacy_title(Display* display, XWindow window, const char* title)
{
    XTextProperty property {};
    char* list[] = {const_cast<char*>(title)};
    int converted = Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &property);
    if (converted < Success || !property.value) {
        // No converter for this locale: the bytes as UTF8_STRING, which readers understand.
        if (property.value)
            XFree(property.value);
        property = {};
        if (Xutf8TextListToTextProperty(display, list, 1, XUTF8StringStyle, &property) < Success || !property.value)
            return;
    }
    XSetWMName(display, window, &property);
    XFree(property.value);
    XFlush(display);
}

void set_undecorated(Display* display, XWindow window)
{
    // flags, functions, decorations, input mode, status: only the decorations are given, none.
    constexpr unsigned long motif_decorations = 1UL << 1;
    unsigned long hints[5] = {motif_decorations, 0, 0, 0, 0};
    Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
    XDeleteProperty(display, window, XA_WM_TRANSIENT_FOR);
    XFlush(display);
}

void set_window_icons(Display* display, XWindow window, std::span<const WindowIcon> icons)
{
    // Format 32 properties travel as C longs, whatever their width.
    std::vector<unsigned long> words;
    for (const WindowIcon& icon : icons) {
        if (icon.width <= 0 || icon.height <= 0
            || icon.pixels.size() != static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height))
            continue;
        words.push_back(static_cast<unsigned long>(icon.width));
        words.push_back(static_cast<unsigned long>(icon.height));
        words.insert(words.end(), icon.pixels.begin(), icon.pixels.end());
    }
    if (words.empty())
        return;
    Atom net_wm_icon = XInternAtom(display, "_NET_WM_ICON", False);
    XChangeProperty(display, window, net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
        reinterpret_cast<const unsigned char*>(words.data()), static_cast<int>(words.size()));
    XFlush(display);
}

} // namespace torvane::platform::x11
