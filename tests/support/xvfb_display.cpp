#include "support/xvfb_display.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace torvane::test {

namespace {

using namespace std::chrono_literals;

// A window that disappears between two queries makes Xlib report an error; the default handler
// would end the test program.
int ignore_x_errors(Display*, XErrorEvent*) { return 0; }

// The current environment with DISPLAY replaced.
std::vector<std::string> environment_with_display(const std::string& display)
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0)
            entries.emplace_back(*entry);
    entries.push_back("DISPLAY=" + display);
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& words)
{
    std::vector<char*> result;
    for (std::string& word : words)
        result.push_back(word.data());
    result.push_back(nullptr);
    return result;
}

// Standard output and error of the started servers go to a log, shown when one fails to start.
std::filesystem::path log_path(std::string_view what)
{
    return std::filesystem::temp_directory_path() / ("torvane-" + std::string(what) + "-" + std::to_string(::getpid()) + ".log");
}

void print_log(const std::filesystem::path& log)
{
    std::ifstream in(log);
    std::fprintf(stderr, "%s\n", std::string(std::istreambuf_iterator<char>(in), {}).c_str());
}

} // namespace

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
}

std::unique_ptr<XvfbDisplay> XvfbDisplay::start(const XvfbOptions& options)
{
    // Xvfb chooses a free display number itself and writes it to -displayfd once it accepts
    // connections, so there is neither a race for the number nor a guess about readiness.
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return nullptr;
    std::filesystem::path log = log_path("xvfb");
    std::vector<std::string> command = {"Xvfb", "-displayfd", "3", "-screen", "0",
        std::to_string(options.width) + "x" + std::to_string(options.height) + "x24", "-dpi",
        std::to_string(options.dpi), "-nolisten", "tcp", "-noreset"};
    if (!options.shared_memory) {
        command.push_back("-extension");
        command.push_back("MIT-SHM");
    }
    std::vector<char*> argv = pointers(command);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (ready[1] == 3)
            ::fcntl(3, F_SETFD, 0);
        else
            ::dup2(ready[1], 3); // the copy is not close-on-exec
        int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::setsid(); // a terminal's signals stay with the test
        ::prctl(PR_SET_PDEATHSIG, SIGTERM); // a crashed test leaves no server behind
        ::execvp("Xvfb", argv.data());
        ::_exit(127);
    }
    ::close(ready[1]);
    auto display = std::unique_ptr<XvfbDisplay>(new XvfbDisplay());
    display->server_pid_ = pid;

    std::string number;
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd wait {ready[0], POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0)
            continue;
        char c;
        ssize_t got = ::read(ready[0], &c, 1);
        if (got <= 0 || c == '\n')
            break;
        number += c;
    }
    ::close(ready[0]);
    if (number.empty()) {
        std::fprintf(stderr, "xvfb_display: Xvfb did not start:\n");
        print_log(log);
        return nullptr; // the destructor stops what was started
    }
    display->name_ = ":" + number;
    if (!display->connection()) {
        std::fprintf(stderr, "xvfb_display: cannot connect to %s\n", display->name_.c_str());
        return nullptr;
    }

    if (options.window_manager) {
        std::filesystem::path wm_log = log_path("openbox");
        std::vector<std::string> wm = {"openbox", "--sm-disable"};
        std::vector<char*> wm_argv = pointers(wm);
        std::vector<std::string> environment = environment_with_display(display->name_);
        std::vector<char*> envp = pointers(environment);
        pid_t wm_pid = ::fork();
        if (wm_pid == 0) {
            int out = ::open(wm_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::setsid();
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::execvpe("openbox", wm_argv.data(), envp.data());
            ::_exit(127);
        }
        display->window_manager_pid_ = wm_pid;
        // A window manager announces itself on the root window.
        bool running = wait_until([&] {
            Display* x = display->connection();
            return !display->word_property(DefaultRootWindow(x), "_NET_SUPPORTING_WM_CHECK").empty();
        }, 20s);
        // openbox names itself before it handles map requests, and a window mapped in between
        // stays unmapped for good: a probe window that it maps shows that it is ready.
        if (running) {
            Display* x = display->connection();
            ::Window probe = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 1, 1, 0, 0, 0);
            running = wait_until([&] {
                XMapWindow(x, probe);
                XFlush(x);
                return wait_until([&] { return display->is_viewable(probe); }, 300ms);
            }, 20s);
            XDestroyWindow(x, probe);
            XSync(x, False);
        }
        if (!running) {
            std::fprintf(stderr, "xvfb_display: openbox did not start:\n");
            print_log(wm_log);
            return nullptr;
        }
    }
    return display;
}

void XvfbDisplay::stop_process(int& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    if (!wait_until([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5s)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    pid = -1;
}

XvfbDisplay::~XvfbDisplay()
{
    stop_process(window_manager_pid_);
    if (display_)
        XCloseDisplay(display_);
    stop_process(server_pid_);
}

void XvfbDisplay::make_default() const { ::setenv("DISPLAY", name_.c_str(), 1); }

Display* XvfbDisplay::connection() const
{
    if (!display_) {
        XSetErrorHandler(ignore_x_errors);
        display_ = XOpenDisplay(name_.c_str());
    }
    return display_;
}

CommandResult XvfbDisplay::run(const std::vector<std::string>& command, std::string_view input,
    std::chrono::seconds timeout) const
{
    CommandResult result;
    int to_child[2];
    int from_child[2];
    if (::pipe2(to_child, O_CLOEXEC) != 0)
        return result;
    if (::pipe2(from_child, O_CLOEXEC) != 0) {
        ::close(to_child[0]);
        ::close(to_child[1]);
        return result;
    }
    std::vector<std::string> words = command;
    std::vector<char*> argv = pointers(words);
    std::vector<std::string> environment = environment_with_display(name_);
    std::vector<char*> envp = pointers(environment);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(to_child[0], 0);
        ::dup2(from_child[1], 1);
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    if (pid > 0) {
        // The inputs given here are small; a pipe holds them whole.
        (void)!::write(to_child[1], input.data(), input.size());
    }
    ::close(to_child[1]);
    auto deadline = std::chrono::steady_clock::now() + timeout;
    bool timed_out = false;
    while (pid > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timed_out = true;
            break;
        }
        pollfd wait {from_child[0], POLLIN, 0};
        if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        ssize_t got = ::read(from_child[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        result.output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(from_child[0]);
    if (pid > 0) {
        if (timed_out)
            ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!timed_out && WIFEXITED(status))
            result.exit_code = WEXITSTATUS(status);
    }
    return result;
}

bool XvfbDisplay::xdotool(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> command = {"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run(command).exit_code == 0;
}

bool XvfbDisplay::merge_resources(std::string_view lines) const
{
    std::string text(lines);
    if (!text.ends_with('\n'))
        text += '\n';
    return run({"xrdb", "-nocpp", "-merge"}, text).exit_code == 0;
}

std::vector<unsigned long> XvfbDisplay::top_level_windows_where(const std::function<bool(unsigned long)>& matches) const
{
    std::vector<unsigned long> found;
    Display* x = connection();
    if (!x)
        return found;
    auto children = [x](::Window parent) {
        ::Window root_return;
        ::Window parent_return;
        ::Window* list = nullptr;
        unsigned int count = 0;
        std::vector<::Window> result;
        if (XQueryTree(x, parent, &root_return, &parent_return, &list, &count) && list)
            result.assign(list, list + count);
        if (list)
            XFree(list);
        return result;
    };
    for (::Window top : children(DefaultRootWindow(x))) {
        if (matches(top)) {
            found.push_back(top);
            continue;
        }
        for (::Window inner : children(top))
            if (matches(inner))
                found.push_back(inner);
    }
    return found;
}

std::vector<unsigned long> XvfbDisplay::windows_of_class(std::string_view window_class) const
{
    return top_level_windows_where([&](unsigned long window) {
        auto names = this->window_class(window);
        return names && names->second == window_class;
    });
}

std::vector<unsigned long> XvfbDisplay::windows_titled(std::string_view title) const
{
    return top_level_windows_where([&](unsigned long window) {
        auto name = text_property(window, "_NET_WM_NAME");
        if (!name)
            name = text_property(window, "WM_NAME");
        return name == title;
    });
}

std::vector<unsigned long> XvfbDisplay::windows_transient_for(unsigned long owner) const
{
    return top_level_windows_where([&](unsigned long window) {
        std::vector<unsigned long> transient = word_property(window, "WM_TRANSIENT_FOR");
        return !transient.empty() && transient[0] == owner;
    });
}

std::optional<unsigned long> XvfbDisplay::wait_for_window(std::string_view window_class,
    std::chrono::milliseconds timeout) const
{
    std::optional<unsigned long> window;
    wait_until([&] {
        std::vector<unsigned long> viewable;
        for (unsigned long candidate : windows_of_class(window_class))
            if (is_viewable(candidate))
                viewable.push_back(candidate);
        if (viewable.size() == 1)
            window = viewable.front();
        return viewable.size() == 1;
    }, timeout);
    return window;
}

std::optional<std::string> XvfbDisplay::text_property(unsigned long window, const char* property) const
{
    Display* x = connection();
    if (!x)
        return std::nullopt;
    XTextProperty text {};
    if (!XGetTextProperty(x, window, &text, XInternAtom(x, property, False)) || !text.value)
        return std::nullopt;
    char** list = nullptr;
    int count = 0;
    std::optional<std::string> value;
    if (Xutf8TextPropertyToTextList(x, &text, &list, &count) >= Success && count > 0 && list)
        value = list[0];
    else
        value = std::string(reinterpret_cast<const char*>(text.value), text.nitems);
    if (list)
        XFreeStringList(list);
    XFree(text.value);
    return value;
}

std::vector<unsigned long> XvfbDisplay::word_property(unsigned long window, const char* property) const
{
    std::vector<unsigned long> words;
    Display* x = connection();
    if (!x)
        return words;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x, window, XInternAtom(x, property, False), 0, 1 << 24, False, AnyPropertyType, &type,
            &format, &count, &after, &data) == Success && data && format == 32) {
        // Xlib hands 32-bit items over as C longs, sign-extended: keep the 32 bits sent.
        auto* values = reinterpret_cast<unsigned long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            words.push_back(values[i] & 0xFFFFFFFFUL);
    }
    if (data)
        XFree(data);
    return words;
}

std::optional<std::pair<std::string, std::string>> XvfbDisplay::window_class(unsigned long window) const
{
    Display* x = connection();
    XClassHint hint {};
    if (!x || !XGetClassHint(x, window, &hint))
        return std::nullopt;
    std::pair<std::string, std::string> names {hint.res_name ? hint.res_name : "", hint.res_class ? hint.res_class : ""};
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return names;
}

std::optional<WindowGeometry> XvfbDisplay::geometry(unsigned long window) const
{
    Display* x = connection();
    XWindowAttributes attributes {};
    if (!x || !XGetWindowAttributes(x, window, &attributes))
        return std::nullopt;
    int root_x = 0;
    int root_y = 0;
    ::Window child;
    if (!XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &root_x, &root_y, &child))
        return std::nullopt;
    return WindowGeometry {root_x, root_y, attributes.width, attributes.height};
}

bool XvfbDisplay::is_viewable(unsigned long window) const
{
    Display* x = connection();
    XWindowAttributes attributes {};
    return x && XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable;
}

bool XvfbDisplay::is_iconic(unsigned long window) const
{
    std::vector<unsigned long> state = word_property(window, "WM_STATE");
    if (!state.empty() && state[0] == IconicState)
        return true;
    Display* x = connection();
    Atom hidden = XInternAtom(x, "_NET_WM_STATE_HIDDEN", False);
    for (unsigned long atom : word_property(window, "_NET_WM_STATE"))
        if (atom == hidden)
            return true;
    return false;
}

bool XvfbDisplay::request_close(unsigned long window) const
{
    Display* x = connection();
    if (!x)
        return false;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    bool sent = XSendEvent(x, window, False, NoEventMask, &event) != 0;
    XFlush(x);
    return sent;
}

std::optional<ScreenImage> XvfbDisplay::capture() const
{
    Display* x = connection();
    if (!x)
        return std::nullopt;
    int screen = DefaultScreen(x);
    return capture(WindowGeometry {0, 0, DisplayWidth(x, screen), DisplayHeight(x, screen)});
}

std::optional<ScreenImage> XvfbDisplay::capture(const WindowGeometry& area) const
{
    Display* x = connection();
    if (!x || area.width <= 0 || area.height <= 0)
        return std::nullopt;
    XImage* image = XGetImage(x, DefaultRootWindow(x), area.x, area.y, static_cast<unsigned>(area.width),
        static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    ScreenImage result {area.width, area.height, {}};
    result.pixels.reserve(static_cast<std::size_t>(area.width) * area.height);
    for (int row = 0; row < area.height; ++row)
        for (int column = 0; column < area.width; ++column)
            result.pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, column, row)) & 0xFFFFFF);
    XDestroyImage(image);
    return result;
}

bool XvfbDisplay::save_screenshot(const std::filesystem::path& png) const
{
    return run({"import", "-window", "root", png.string()}).exit_code == 0;
}

} // namespace torvane::test
