// A second launcher brings the running one's window to the front, on a real X server (Xvfb),
// with the openbox window manager and without any. The running launcher is the instance probe
// showing a plain window; the second start is the launcher program itself.
#include "instance_processes.hpp"
#include "platform/window_host.hpp"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace torvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::Child;
using test::eventually;

// An Xvfb server on a display it picks itself, with openbox managing it when asked for.
class XServer {
public:
    explicit XServer(bool window_manager)
    {
        auto environment = test::clean_environment();
        xvfb_ = std::make_unique<Child>("Xvfb",
            std::vector<std::string> {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
            environment);
        auto number = xvfb_->line(20s);
        if (!number)
            throw std::runtime_error("Xvfb did not start");
        name_ = ":" + *number;
        display_ = XOpenDisplay(name_.c_str());
        if (!display_)
            throw std::runtime_error("no connection to " + name_);
        if (window_manager) {
            environment["DISPLAY"] = name_;
            openbox_ = std::make_unique<Child>("openbox", std::vector<std::string> {"--sm-disable"}, environment);
            if (!eventually([&] { return supports_active_window(); }, 20s) || !manages_new_windows())
                throw std::runtime_error("openbox did not start");
        }
    }
    ~XServer()
    {
        XCloseDisplay(display_);
        if (openbox_)
            openbox_->terminate();
        xvfb_->terminate();
    }

    // The manager announces itself before it handles map requests, and drops those that come
    // too early: it is ready once a window mapped now gets its WM_STATE.
    bool manages_new_windows() const
    {
        for (int attempt = 0; attempt < 40; ++attempt) {
            Window window = XCreateSimpleWindow(display_, root(), 0, 0, 10, 10, 0, 0, 0);
            XMapWindow(display_, window);
            bool managed = eventually([&] { return wm_state(window).has_value(); }, 500ms);
            XDestroyWindow(display_, window);
            XSync(display_, False);
            if (managed)
                return true;
        }
        return false;
    }

    const std::string& name() const { return name_; }
    Display* display() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }

    std::vector<unsigned long> property(Window window, const char* name, Atom type) const
    {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> items;
        XSync(display_, False);
        if (XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1024, False, type, &actual,
                &format, &count, &remaining, &data)
                == Success
            && data && format == 32) {
            auto* values = reinterpret_cast<unsigned long*>(data);
            items.assign(values, values + count);
        }
        if (data)
            XFree(data);
        return items;
    }
    bool supports_active_window() const
    {
        Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
        for (unsigned long atom : property(root(), "_NET_SUPPORTED", XA_ATOM))
            if (atom == active)
                return true;
        return false;
    }
    std::optional<Window> active_window() const
    {
        auto items = property(root(), "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return items.empty() ? std::nullopt : std::optional<Window>(items[0]);
    }
    // The ICCCM state the window manager gives a client: 1 normal, 3 iconic.
    std::optional<unsigned long> wm_state(Window window) const
    {
        auto items = property(window, "WM_STATE", XInternAtom(display_, "WM_STATE", False));
        return items.empty() ? std::nullopt : std::optional<unsigned long>(items[0]);
    }
    bool viewable(Window window) const
    {
        XWindowAttributes attributes {};
        return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
    }
    Window focus() const
    {
        Window window = None;
        int revert = 0;
        XGetInputFocus(display_, &window, &revert);
        return window;
    }

private:
    std::unique_ptr<Child> xvfb_;
    std::unique_ptr<Child> openbox_;
    std::string name_;
    Display* display_ = nullptr;
};

constexpr unsigned long normal_state = 1;
constexpr unsigned long iconic_state = 3;

struct Case {
    const char* name;
    const char* window_class;
    const char* title;
    const char* cached_config; // Data/Launcher/launcher.json, none when null
    bool found;
    bool only_wm_name = false; // the window has no _NET_WM_NAME
};

class InstanceActivation : public test::InstanceFolders {
protected:
    // Shows the running launcher's window (iconified, or never mapped without a window manager),
    // starts the launcher and returns the window.
    void run_case(const XServer& x, const Case& c, bool window_manager)
    {
        SCOPED_TRACE(c.name);
        fs::remove_all(game() / "Data");
        if (c.cached_config)
            root_.write("jogo/Data/Launcher/launcher.json", c.cached_config);
        environment_["DISPLAY"] = x.name();

        std::vector<std::string> arguments {"--window", c.window_class, c.title};
        if (!window_manager)
            arguments.push_back("--hidden");
        if (c.only_wm_name)
            arguments.push_back("--only-wm-name");
        auto running = first_instance(arguments);
        auto line = running->line();
        ASSERT_TRUE(line && line->starts_with("window ")) << line.value_or("(nada)");
        const Window window = std::stoul(line->substr(7));
        if (window_manager) {
            ASSERT_TRUE(eventually([&] { return x.wm_state(window) == iconic_state; }));
        }
        ASSERT_FALSE(x.viewable(window));

        Child second(launcher(), {}, environment_);
        EXPECT_EQ(second.ended_within(10s), 0);

        if (!c.found) {
            std::this_thread::sleep_for(300ms);
            EXPECT_FALSE(x.viewable(window));
            EXPECT_NE(x.active_window(), window);
        } else if (window_manager) {
            EXPECT_TRUE(eventually([&] { return x.active_window() == window; }));
            EXPECT_EQ(x.wm_state(window), normal_state);
            EXPECT_TRUE(x.viewable(window));
        } else {
            EXPECT_TRUE(x.viewable(window));
            EXPECT_EQ(x.focus(), window);
        }
        running->close_input();
        EXPECT_EQ(running->wait(), 0);
    }
};

const std::string launcher_class = platform::launcher_window_class;

const Case cases[] = {
    {"found by its class", launcher_class.c_str(), "Qualquer título", nullptr, true},
    {"another class: found by the default title", "LauncherAntigo", "Torvane", nullptr, true},
    {"another class: found by the cached server name", "LauncherAntigo", "Servidor Ornhald",
     R"({"ServerName": "Servidor Ornhald"})", true},
    {"another class: found by a server name with accents in _NET_WM_NAME", "LauncherAntigo",
     "Servidor Ornhald — Brasil", R"({"ServerName": "Servidor Ornhald — Brasil"})", true},
    {"another class: found by a Latin-1 WM_NAME", "LauncherAntigo", "Servidor São Paulo",
     R"({"ServerName": "Servidor São Paulo"})", true, true},
    {"another class and the default title while a server name is cached", "LauncherAntigo", "Torvane",
     R"({"ServerName": "Servidor Ornhald"})", false},
    {"neither class nor title", "OutroPrograma", "Outro programa", nullptr, false},
};

TEST_F(InstanceActivation, WithAWindowManagerTheWindowIsRestoredAndActivated)
{
    XServer x(true);
    for (const Case& c : cases)
        run_case(x, c, true);
}

TEST_F(InstanceActivation, WithoutAWindowManagerTheWindowIsMappedAndFocused)
{
    XServer x(false);
    for (const Case& c : cases)
        run_case(x, c, false);
}

TEST_F(InstanceActivation, WithoutADisplayTheSecondStartExitsQuietly)
{
    auto running = first_instance();
    Child second(launcher(), {}, environment_);
    EXPECT_EQ(second.ended_within(10s), 0);
    // Looking for a window by its title loaded the configuration, which wrote the built-in one.
    EXPECT_TRUE(fs::is_regular_file(game() / "Data/Launcher/launcher.json"));
}

} // namespace
} // namespace torvane
