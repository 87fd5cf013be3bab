#include "platform/desktop_windows.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>
#include <string>
#include <vector>

namespace torvane::platform {

namespace {

// A window can vanish between being listed and being asked about; the default handler would end
// the process on the error that follows, so errors are ignored while this object lives.
class IgnoreXErrors {
public:
    IgnoreXErrors() : previous_(XSetErrorHandler(&ignore)) {}
    ~IgnoreXErrors() { XSetErrorHandler(previous_); }
    IgnoreXErrors(const IgnoreXErrors&) = delete;
    IgnoreXErrors& operator=(const IgnoreXErrors&) = delete;

private:
    static int ignore(Display*, XErrorEvent*) { return 0; }
    int (*previous_)(Display*, XErrorEvent*);
};

// One property's items, read whole; empty when absent or of another type.
template <class Item>
std::vector<Item> read_property(Display* display, Window window, Atom property, Atom type, int format)
{
    Atom actual_type = None;
    int actual_format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<Item> items;
    if (XGetWindowProperty(display, window, property, 0, 1L << 20, False, type, &actual_type, &actual_format,
            &count, &remaining, &data)
            == Success
        && data && actual_type == type && actual_format == format) {
        // Format 32 items come as longs whatever the size of a long.
        if (format == 32) {
            auto* longs = reinterpret_cast<unsigned long*>(data);
            items.assign(longs, longs + count);
        } else {
            items.assign(data, data + count);
        }
    }
    if (data)
        XFree(data);
    return items;
}

} // namespace

struct DesktopWindows::Connection {
    Display* display = nullptr;
    ~Connection()
    {
        if (display)
            XCloseDisplay(display);
    }

    Window root() const { return DefaultRootWindow(display); }
    Atom atom(const char* name) const { return XInternAtom(display, name, False); }

    // The managed windows when a window manager keeps _NET_CLIENT_LIST; else the root's children
    // and their children (a reparenting manager puts each client inside a frame).
    std::vector<Window> top_level_windows() const
    {
        auto clients = read_property<unsigned long>(display, root(), atom("_NET_CLIENT_LIST"), XA_WINDOW, 32);
        if (!clients.empty())
            return {clients.begin(), clients.end()};
        std::vector<Window> windows;
        auto children_of = [&](Window parent) {
            std::vector<Window> found;
            Window root_return = 0, parent_return = 0;
            Window* children = nullptr;
            unsigned int count = 0;
            if (XQueryTree(display, parent, &root_return, &parent_return, &children, &count) && children) {
                found.assign(children, children + count);
                XFree(children);
            }
            return found;
        };
        for (Window child : children_of(root())) {
            windows.push_back(child);
            for (Window grandchild : children_of(child))
                windows.push_back(grandchild);
        }
        return windows;
    }

    std::optional<DesktopWindow> first(const std::function<bool(Window)>& matches) const
    {
        IgnoreXErrors ignore;
        for (Window window : top_level_windows())
            if (matches(window))
                return DesktopWindow {window};
        return std::nullopt;
    }

    std::string class_of(Window window) const
    {
        XClassHint hint {};
        std::string name;
        if (XGetClassHint(display, window, &hint)) {
            if (hint.res_class)
                name = hint.res_class;
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        return name;
    }

    std::optional<std::string> net_wm_name(Window window) const
    {
        auto bytes = read_property<unsigned char>(display, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8);
        if (bytes.empty())
            return std::nullopt;
        return std::string(bytes.begin(), bytes.end());
    }

    // WM_NAME in whatever encoding it was set (Latin-1, compound text or UTF-8), as UTF-8.
    std::optional<std::string> wm_name(Window window) const
    {
        XTextProperty property {};
        if (!XGetWMName(display, window, &property) || !property.value)
            return std::nullopt;
        std::optional<std::string> name;
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display, &property, &list, &count) >= Success && list) {
            if (count > 0 && list[0])
                name = list[0];
            XFreeStringList(list);
        }
        XFree(property.value);
        return name;
    }

    bool supports(Atom feature) const
    {
        auto supported = read_property<unsigned long>(display, root(), atom("_NET_SUPPORTED"), XA_ATOM, 32);
        for (unsigned long item : supported)
            if (item == feature)
                return true;
        return false;
    }
};

DesktopWindows::DesktopWindows(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}
DesktopWindows::DesktopWindows(DesktopWindows&&) noexcept = default;
DesktopWindows& DesktopWindows::operator=(DesktopWindows&&) noexcept = default;
DesktopWindows::~DesktopWindows() = default;

DesktopWindows DesktopWindows::connect()
{
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(nullptr);
    return DesktopWindows(connection->display ? std::move(connection) : nullptr);
}

std::optional<DesktopWindow> DesktopWindows::find_by_class(std::string_view window_class)
{
    if (!connection_)
        return std::nullopt;
    return connection_->first([&](Window window) { return connection_->class_of(window) == window_class; });
}

std::optional<DesktopWindow> DesktopWindows::find_by_title(std::string_view title)
{
    if (!connection_)
        return std::nullopt;
    return connection_->first([&](Window window) {
        return connection_->net_wm_name(window) == title || connection_->wm_name(window) == title;
    });
}

void DesktopWindows::activate(DesktopWindow target)
{
    if (!connection_)
        return;
    Connection& c = *connection_;
    IgnoreXErrors ignore;
    Window window = static_cast<Window>(target.id);
    Atom active = c.atom("_NET_ACTIVE_WINDOW");
    if (c.supports(active)) {
        // The manager restores, raises and focuses the window; source 2 says the request comes
        // on the user's behalf, which focus-stealing prevention lets through.
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = active;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = None;
        XSendEvent(c.display, c.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XMapRaised(c.display, window);
        // Focus can only go to a viewable window: wait for the map to take effect.
        XSync(c.display, False);
        XSetInputFocus(c.display, window, RevertToParent, CurrentTime);
    }
    XSync(c.display, False);
}

} // namespace torvane::platform
