// Test helper: a launcher start reduced to its single-instance rule. It runs
// acquire_single_instance for its own folder and prints "activated" or "proceed". A proceeding
// probe keeps the instance lock until its standard input closes, then lets it go as the launcher
// does on exit. Options:
//   --wait MS, --attempts N, --pause MS   the hand-over wait and the deleter's attempts and pause
//   --window CLASS TITLE [--hidden]       once proceeding, shows a plain X11 window of that class
//                                         and title, iconified (--hidden: created but never
//                                         mapped, for a display without a window manager), and
//                                         prints "window <id>"; its title goes into _NET_WM_NAME
//                                         and WM_NAME (--only-wm-name: WM_NAME alone)
//   --user-runtime-root DIR               DIR in place of /run/user when $XDG_RUNTIME_DIR is unset
#include "app/single_instance.hpp"
#include "core/util.hpp"
#include "platform/instance_lock.hpp"
#include "platform/linux/lock_folder.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Waits until the window manager has mapped the window, at most five seconds.
bool wait_until_mapped(Display* display, Window window)
{
    for (int i = 0; i < 500; ++i) {
        XWindowAttributes attributes {};
        if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

Window show_window(Display* display, const char* window_class, const char* title, bool hidden, bool only_wm_name)
{
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 320, 200, 0, 0,
        WhitePixel(display, DefaultScreen(display)));
    std::string name = "probe";
    XClassHint hint {name.data(), const_cast<char*>(window_class)};
    XSetClassHint(display, window, &hint);
    // WM_NAME as older programs set it: Latin-1 text where it fits, compound text otherwise.
    XTextProperty property {};
    char* list[] = {const_cast<char*>(title)};
    if (Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &property) >= Success) {
        XSetWMName(display, window, &property);
        XFree(property.value);
    }
    if (!only_wm_name)
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
            XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
            reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
    if (!hidden) {
        XMapWindow(display, window);
        XSync(display, False);
        if (!wait_until_mapped(display, window))
            std::exit(3);
        XIconifyWindow(display, window, DefaultScreen(display));
    }
    XSync(display, False);
    return window;
}

} // namespace

int main(int argc, char** argv)
{
    torvane::InstanceTimes times;
    const char* window_class = nullptr;
    const char* title = nullptr;
    bool hidden = false;
    bool only_wm_name = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--wait" && i + 1 < argc)
            times.handover_wait = std::chrono::milliseconds(std::atoi(argv[++i]));
        else if (option == "--attempts" && i + 1 < argc)
            times.delete_attempts = std::atoi(argv[++i]);
        else if (option == "--pause" && i + 1 < argc)
            times.delete_pause = std::chrono::milliseconds(std::atoi(argv[++i]));
        else if (option == "--window" && i + 2 < argc) {
            window_class = argv[++i];
            title = argv[++i];
        } else if (option == "--hidden")
            hidden = true;
        else if (option == "--only-wm-name")
            only_wm_name = true;
        else if (option == "--user-runtime-root" && i + 1 < argc)
            torvane::platform::set_user_runtime_root(argv[++i]);
        else
            return 2;
    }

    if (torvane::acquire_single_instance(torvane::exe_dir(), times) == torvane::InstanceOutcome::Activated) {
        std::printf("activated\n");
        return 0;
    }
    std::printf("proceed\n");
    std::fflush(stdout);

    Display* display = nullptr;
    if (window_class) {
        display = XOpenDisplay(nullptr);
        if (!display)
            return 3;
        Window window = show_window(display, window_class, title, hidden, only_wm_name);
        std::printf("window %lu\n", window);
        std::fflush(stdout);
    }
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    if (display)
        XCloseDisplay(display);
    torvane::platform::release_instance_mutex();
    return 0;
}
