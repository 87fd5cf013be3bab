#include "platform/window_host.hpp"
#include "support/temp_dir.hpp"
#include "support/xvfb_display.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace torvane::platform {
namespace {

// Counts the child processes of a thread of this process, with system calls only: it may run
// while another thread forks, and AddressSanitizer's allocator does not reset its locks in a
// forked child, so a child forked while this thread allocates can wait forever on a lock.
class ChildCount {
public:
    explicit ChildCount(pid_t thread)
    {
        std::snprintf(path_, sizeof path_, "/proc/self/task/%d/children", static_cast<int>(thread));
    }

    int now() const
    {
        int fd = ::open(path_, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return -1;
        char text[4096];
        ssize_t got = ::read(fd, text, sizeof text);
        ::close(fd);
        int count = 0;
        for (ssize_t i = 0; i < got; ++i)
            count += text[i] == ' '; // each pid is followed by a space
        return count;
    }

    // Waits, up to 10 s, until the thread has more children than `known`.
    void wait_for_more_than(int known) const
    {
        for (int i = 0; i < 1000 && known >= 0 && now() <= known; ++i) {
            struct timespec pause {0, 10'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }

private:
    char path_[64];
};

// Shows an orphan box on this thread and runs `close` on another, which starts its work once the
// box's process exists.
void show_box_closed_by(const std::string& title, const std::string& text, const std::function<void()>& close)
{
    const ChildCount children(static_cast<pid_t>(::syscall(SYS_gettid)));
    const int known = children.now(); // a display server started here is one
    std::atomic<bool> waiting{false};
    std::thread closer([&] {
        waiting = true;
        children.wait_for_more_than(known);
        close();
    });
    while (!waiting) // past the thread's own start, which allocates
        std::this_thread::yield();
    show_orphan_message_box(title, text, MessageIcon::Error);
    closer.join();
}

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr PixelRect test_bounds {100, 80, 640, 400};

// Events of the window until one of type T arrives or the time-out passes.
template <class T>
std::optional<T> wait_for(Window& window, std::chrono::milliseconds timeout = 10s)
{
    auto deadline = Clock::now() + timeout;
    while (auto event = window.wait_event(deadline))
        if (auto* wanted = std::get_if<T>(&*event))
            return *wanted;
    return std::nullopt;
}

// Every event that arrives within the time given (for cases that check something does not come).
std::vector<WindowEvent> events_within(Window& window, std::chrono::milliseconds span)
{
    std::vector<WindowEvent> events;
    auto deadline = Clock::now() + span;
    while (auto event = window.wait_event(deadline))
        events.push_back(*event);
    return events;
}

template <class T>
bool contains(const std::vector<WindowEvent>& events)
{
    return std::ranges::any_of(events, [](const WindowEvent& event) { return std::holds_alternative<T>(event); });
}

class WindowHostTest : public testing::Test {
protected:
    // Starts a server and points DISPLAY at it; false (with a failure) when it does not start.
    bool start_display(test::XvfbOptions options = {})
    {
        display_ = test::XvfbDisplay::start(options);
        if (!display_)
            return false;
        display_->make_default();
        return true;
    }

    // Creates and shows the test window and waits until it is on the screen.
    std::unique_ptr<Window> shown_window(WindowOptions window_options = {.title = "Janela de teste", .bounds = test_bounds})
    {
        auto created = create_window(window_options);
        EXPECT_TRUE(created) << created.error();
        if (!created)
            return nullptr;
        std::unique_ptr<Window> window = std::move(*created);
        window->show();
        x_window_ = display_->wait_for_window(launcher_window_class).value_or(0);
        EXPECT_NE(x_window_, 0u) << "the window did not appear";
        return window;
    }

    // The pointer to a client point of the test window (no window manager moves it).
    bool pointer_to(int x, int y)
    {
        auto geometry = display_->geometry(x_window_);
        return geometry
            && display_->xdotool({"mousemove", std::to_string(geometry->x + x), std::to_string(geometry->y + y)});
    }

    std::unique_ptr<test::XvfbDisplay> display_;
    unsigned long x_window_ = 0;
};

TEST_F(WindowHostTest, DisplayScaleAndUsableBounds)
{
    struct Case {
        const char* what;
        int dpi;
        const char* resources; // merged with xrdb before the display is opened
        float scale;
    };
    const Case cases[] = {
        {"96 dpi", 96, nullptr, 1.0f},
        {"192 dpi", 192, nullptr, 2.0f},
        {"Xft.dpi wins over the screen's size", 96, "Xft.dpi: 144", 1.5f},
        {"Xft.dpi at 192 dpi", 192, "Xft.dpi:\t96", 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(start_display({.width = 1400, .height = 900, .dpi = c.dpi}));
        if (c.resources) {
            ASSERT_TRUE(display_->merge_resources(c.resources));
        }
        auto info = open_display();
        ASSERT_TRUE(info) << info.error();
        EXPECT_FLOAT_EQ(info->system_scale, c.scale);
        EXPECT_EQ(info->usable_bounds, (PixelRect {0, 0, 1400, 900}));

        auto window = create_window({.title = "t", .bounds = {0, 0, 200, 100}});
        ASSERT_TRUE(window) << window.error();
        EXPECT_FLOAT_EQ((*window)->scale(), c.scale);
    }
}

TEST_F(WindowHostTest, NoDisplay)
{
    ::setenv("DISPLAY", ":98765", 1);
    auto info = open_display();
    ASSERT_FALSE(info);
    EXPECT_TRUE(info.error().starts_with("Não foi possível conectar à tela")) << info.error();
    auto window = create_window({.title = "t", .bounds = test_bounds});
    ASSERT_FALSE(window);

    testing::internal::CaptureStderr();
    show_orphan_message_box("Torvane", "Não foi possível abrir o jogo:\nsem tela", MessageIcon::Error);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Torvane: Não foi possível abrir o jogo:\nsem tela\n");
}

TEST_F(WindowHostTest, WindowClassTitleBorderIconAndBounds)
{
    ASSERT_TRUE(start_display());
    WindowOptions window_options {.title = "Servidor Ãrvore", .bounds = test_bounds};
    window_options.icons.push_back({2, 1, {0xFF112233, 0x80445566}});
    window_options.icons.push_back({1, 1, {0x00000000}});
    window_options.icons.push_back({3, 3, {0xFFFFFFFF}}); // too few pixels: left out
    auto window = shown_window(window_options);
    ASSERT_TRUE(window);

    auto names = display_->window_class(x_window_);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->second, "PellamoorLauncherMain");
    EXPECT_EQ(display_->text_property(x_window_, "_NET_WM_NAME"), "Servidor Ãrvore");
    EXPECT_EQ(display_->text_property(x_window_, "WM_NAME"), "Servidor Ãrvore");
    // Motif hints: flags with MWM_HINTS_DECORATIONS (2) and no decorations.
    std::vector<unsigned long> motif = display_->word_property(x_window_, "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3u);
    EXPECT_TRUE(motif[0] & 2);
    EXPECT_EQ(motif[2], 0u);
    EXPECT_TRUE(display_->word_property(x_window_, "WM_TRANSIENT_FOR").empty());
    EXPECT_TRUE(display_->word_property(x_window_, "_NET_WM_BYPASS_COMPOSITOR").empty());
    EXPECT_EQ(display_->word_property(x_window_, "_NET_WM_ICON"),
        (std::vector<unsigned long> {2, 1, 0xFF112233, 0x80445566, 1, 1, 0}));
    EXPECT_EQ(display_->geometry(x_window_), (test::WindowGeometry {100, 80, 640, 400}));
    EXPECT_FLOAT_EQ(window->scale(), 1.0f);

    for (const char* title : {"Outro título", "Servidor ★ 2", ""}) {
        window->set_title(title);
        EXPECT_TRUE(test::wait_until([&] { return display_->text_property(x_window_, "_NET_WM_NAME") == title; }))
            << title;
        EXPECT_EQ(display_->text_property(x_window_, "WM_NAME"), title);
    }

    window->set_bounds({50, 40, 320, 200});
    EXPECT_TRUE(test::wait_until([&] {
        return display_->geometry(x_window_) == test::WindowGeometry {50, 40, 320, 200};
    }));
    PixelSurface surface = window->surface();
    EXPECT_EQ(surface.width, 320);
    EXPECT_EQ(surface.height, 200);

    window->destroy();
    EXPECT_TRUE(window->destroyed());
    EXPECT_TRUE(test::wait_until([&] { return display_->windows_of_class(launcher_window_class).empty(); }));
    EXPECT_EQ(window->wait_event(std::nullopt), std::nullopt) << "a destroyed window has no events";
}

// With the server's shared memory and without it (a remote server has none), and again after the
// window changed size (its scale changed): the pixels come anew, of the new size.
TEST_F(WindowHostTest, PresentedRectanglesReachTheScreen)
{
    for (bool shared_memory : {true, false}) {
        SCOPED_TRACE(shared_memory ? "MIT-SHM" : "no MIT-SHM");
        ASSERT_TRUE(start_display({.shared_memory = shared_memory}));
        auto window = shown_window();
        ASSERT_TRUE(window);
        ASSERT_TRUE(wait_for<window_event::Exposed>(*window)) << "mapping the window exposes it";

        PixelSurface surface = window->surface();
        ASSERT_NE(surface.pixels, nullptr);
        ASSERT_EQ(surface.width, 640);
        ASSERT_EQ(surface.height, 400);
        auto fill = [&](PixelRect rect, std::uint32_t word) {
            for (int y = rect.y; y < rect.y + rect.h; ++y)
                for (int x = rect.x; x < rect.x + rect.w; ++x)
                    surface.pixels[static_cast<std::size_t>(y) * (surface.pitch / 4) + x] = word;
        };
        fill({0, 0, 640, 400}, 0xFF102030);
        fill({20, 30, 200, 100}, 0xFFE02010);
        const PixelRect whole[] = {{0, 0, 640, 400}};
        window->update_rects(whole);

        test::WindowGeometry area {100, 80, 640, 400};
        EXPECT_TRUE(test::wait_until([&] {
            auto image = display_->capture(area);
            return image && image->at(25, 35) == 0xE02010 && image->at(219, 129) == 0xE02010
                && image->at(220, 130) == 0x102030 && image->at(19, 29) == 0x102030 && image->at(639, 399) == 0x102030;
        })) << "the presented rectangle is not on the screen";

        // Only the rectangles handed over change the screen; parts outside the surface are cut off.
        fill({0, 0, 640, 400}, 0xFF00FF00);
        const PixelRect parts[] = {{600, 360, 100, 100}, {-50, -50, 60, 60}};
        window->update_rects(parts);
        EXPECT_TRUE(test::wait_until([&] {
            auto image = display_->capture(area);
            return image && image->at(639, 399) == 0x00FF00 && image->at(600, 360) == 0x00FF00 && image->at(5, 5) == 0x00FF00
                && image->at(10, 10) == 0x102030 && image->at(25, 35) == 0xE02010 && image->at(599, 359) == 0x102030;
        }));
        if (shared_memory)
            EXPECT_TRUE(display_->save_screenshot(test::binary_dir() / "window-host-present.png"));

        window->set_bounds({100, 80, 1000, 300});
        ASSERT_TRUE(test::wait_until([&] {
            return display_->geometry(x_window_) == test::WindowGeometry {100, 80, 1000, 300};
        }));
        ASSERT_TRUE(test::wait_until([&] { return window->surface().width == 1000; }));
        surface = window->surface();
        ASSERT_NE(surface.pixels, nullptr);
        ASSERT_EQ(surface.height, 300);
        fill({0, 0, 1000, 300}, 0xFF405060);
        fill({900, 250, 100, 50}, 0xFF0000FF);
        const PixelRect resized[] = {{0, 0, 1000, 300}};
        window->update_rects(resized);
        test::WindowGeometry larger {100, 80, 1000, 300};
        EXPECT_TRUE(test::wait_until([&] {
            auto image = display_->capture(larger);
            return image && image->at(0, 0) == 0x405060 && image->at(899, 249) == 0x405060
                && image->at(900, 250) == 0x0000FF && image->at(999, 299) == 0x0000FF;
        })) << "the resized window's pixels are not on the screen";
        window->destroy();
    }
}

TEST_F(WindowHostTest, PointerWheelAndEscapeFromTheServer)
{
    ASSERT_TRUE(start_display());
    auto window = shown_window();
    ASSERT_TRUE(window);

    ASSERT_TRUE(pointer_to(10, 20));
    auto moved = wait_for<window_event::PointerMoved>(*window);
    ASSERT_TRUE(moved);
    // A move may arrive in steps; the last one is where the pointer is.
    while (moved->x != 10 || moved->y != 20) {
        auto next = wait_for<window_event::PointerMoved>(*window, 2s);
        ASSERT_TRUE(next) << "last move at " << moved->x << "," << moved->y;
        moved = next;
    }

    ASSERT_TRUE(pointer_to(300, 200));
    ASSERT_TRUE(display_->xdotool({"click", "1"}));
    auto pressed = wait_for<window_event::ButtonPressed>(*window);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(pressed->x, 300);
    EXPECT_EQ(pressed->y, 200);
    auto released = wait_for<window_event::ButtonReleased>(*window);
    ASSERT_TRUE(released);
    EXPECT_EQ(released->x, 300);
    EXPECT_EQ(released->y, 200);

    // A double press is two presses; the right button is not the UI's.
    ASSERT_TRUE(display_->xdotool({"click", "--repeat", "2", "--delay", "30", "1"}));
    ASSERT_TRUE(display_->xdotool({"click", "3"}));
    ASSERT_TRUE(display_->xdotool({"click", "4"}));
    auto events = events_within(*window, 500ms);
    auto presses = std::ranges::count_if(events, [](auto& e) { return std::holds_alternative<window_event::ButtonPressed>(e); });
    auto releases = std::ranges::count_if(events, [](auto& e) { return std::holds_alternative<window_event::ButtonReleased>(e); });
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(releases, 2);
    ASSERT_TRUE(contains<window_event::Wheel>(events));
    EXPECT_GT(std::get<window_event::Wheel>(*std::ranges::find_if(events, [](auto& e) {
        return std::holds_alternative<window_event::Wheel>(e);
    })).delta, 0) << "button 4 scrolls up, away from the user";
    ASSERT_TRUE(display_->xdotool({"click", "5"}));
    auto down = wait_for<window_event::Wheel>(*window);
    ASSERT_TRUE(down);
    EXPECT_LT(down->delta, 0);

    ASSERT_TRUE(display_->xdotool({"key", "Escape"}));
    EXPECT_TRUE(wait_for<window_event::EscapePressed>(*window));
    ASSERT_TRUE(display_->xdotool({"key", "a"}));
    ASSERT_TRUE(display_->xdotool({"key", "Escape"}));
    events = events_within(*window, 300ms);
    EXPECT_EQ(std::ranges::count_if(events, [](auto& e) { return std::holds_alternative<window_event::EscapePressed>(e); }), 1);

    // Leaving the window is reported unless the window holds the capture.
    ASSERT_TRUE(pointer_to(700, 450));
    EXPECT_TRUE(wait_for<window_event::PointerLeft>(*window));
}

TEST_F(WindowHostTest, CaptureKeepsThePointerWhileTheButtonIsDown)
{
    ASSERT_TRUE(start_display());
    auto window = shown_window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(pointer_to(100, 100));
    ASSERT_TRUE(display_->xdotool({"mousedown", "1"}));
    ASSERT_TRUE(wait_for<window_event::ButtonPressed>(*window));
    window->capture_pointer(PointerCapture::Hold);
    EXPECT_TRUE(window->holds_capture());

    ASSERT_TRUE(pointer_to(700, 450)); // outside: 640 x 400
    std::optional<window_event::PointerMoved> outside;
    auto events = events_within(*window, 500ms);
    for (const WindowEvent& event : events)
        if (auto* move = std::get_if<window_event::PointerMoved>(&event))
            outside = *move;
    EXPECT_FALSE(contains<window_event::PointerLeft>(events));
    ASSERT_TRUE(outside) << "a captured pointer reports its moves outside the window";
    EXPECT_EQ(outside->x, 700);
    EXPECT_EQ(outside->y, 450);

    ASSERT_TRUE(display_->xdotool({"mouseup", "1"}));
    auto released = wait_for<window_event::ButtonReleased>(*window);
    ASSERT_TRUE(released);
    EXPECT_EQ(released->x, 700);
    window->capture_pointer(PointerCapture::Release);
    EXPECT_FALSE(window->holds_capture());
    // Let go outside the window: the pointer has left it.
    EXPECT_TRUE(wait_for<window_event::PointerLeft>(*window, 2s));
    window->set_cursor(Cursor::Hand);
    window->set_cursor(Cursor::Arrow);
}

TEST_F(WindowHostTest, TimersFireOnceAndStoppedOnesNever)
{
    ASSERT_TRUE(start_display());
    auto window = shown_window();
    ASSERT_TRUE(window);
    window->start_timer(7, 40ms);
    window->start_timer(8, 10ms);
    window->stop_timer(8);
    window->start_timer(9, 10s);
    window->start_timer(9, 20ms); // re-arming restarts it

    std::vector<std::int32_t> fired;
    auto deadline = Clock::now() + 10s;
    while (fired.size() < 2) {
        auto event = window->wait_event(deadline);
        ASSERT_TRUE(event) << "timers 7 and 9 did not both fire";
        if (auto* timer = std::get_if<window_event::TimerFired>(&*event))
            fired.push_back(timer->id);
    }
    EXPECT_EQ(fired, (std::vector<std::int32_t> {9, 7}));
    auto later = events_within(*window, 200ms);
    EXPECT_FALSE(contains<window_event::TimerFired>(later)) << "a stopped or fired timer fired (again)";

    // The wait ends at its deadline when nothing happens.
    auto before = Clock::now();
    EXPECT_EQ(window->wait_event(before + 30ms), std::nullopt);
    EXPECT_GE(Clock::now(), before + 30ms);
}

TEST_F(WindowHostTest, WakerFromAnotherThreadAndAfterTheWindowIsGone)
{
    ASSERT_TRUE(start_display());
    auto window = shown_window();
    ASSERT_TRUE(window);
    std::function<void()> wake = window->waker();
    std::thread worker([wake] {
        for (int i = 0; i < 100; ++i)
            wake();
    });
    EXPECT_TRUE(wait_for<window_event::WorkersWoke>(*window));
    worker.join();

    // Wake-ups from a blocked wait: the wait ends with the event, long before its deadline.
    std::thread late([wake] {
        std::this_thread::sleep_for(50ms);
        wake();
    });
    EXPECT_TRUE(wait_for<window_event::WorkersWoke>(*window, 60s));
    late.join();

    window->destroy();
    wake(); // after destroy: nothing happens
    window.reset();
    std::thread after([wake] { wake(); }); // after the window object is gone
    after.join();
}

TEST_F(WindowHostTest, CloseRequestMinimiseRestoreAndDrag)
{
    ASSERT_TRUE(start_display({.window_manager = true}));
    // The top 30 pixels drag the window, as the UI's drag test says.
    auto window = shown_window({.title = "t", .bounds = test_bounds, .drag_test = [](int, int y) { return y < 30; }});
    ASSERT_TRUE(window);
    auto start = display_->geometry(x_window_);
    ASSERT_TRUE(start);
    EXPECT_EQ(*start, (test::WindowGeometry {100, 80, 640, 400})) << "the window manager keeps the position asked for";

    // A press below the band reaches the UI; a press in the band drags instead.
    ASSERT_TRUE(pointer_to(200, 100));
    ASSERT_TRUE(display_->xdotool({"click", "1"}));
    ASSERT_TRUE(wait_for<window_event::ButtonPressed>(*window));
    ASSERT_TRUE(pointer_to(200, 10));
    ASSERT_TRUE(display_->xdotool({"mousedown", "1"}));
    auto during = events_within(*window, 300ms);
    EXPECT_FALSE(contains<window_event::ButtonPressed>(during));
    ASSERT_TRUE(display_->xdotool({"mousemove_relative", "--", "60", "40"}));
    ASSERT_TRUE(display_->xdotool({"mousemove_relative", "--", "60", "40"}));
    ASSERT_TRUE(display_->xdotool({"mouseup", "1"}));
    EXPECT_TRUE(test::wait_until([&] {
        window->wait_event(Clock::now());
        auto now = display_->geometry(x_window_);
        return now && now->x == start->x + 120 && now->y == start->y + 80;
    })) << "dragging by the band moves the window";

    window->minimise();
    EXPECT_TRUE(wait_for<window_event::Minimised>(*window));
    EXPECT_TRUE(display_->is_iconic(x_window_));
    ASSERT_TRUE(display_->xdotool({"windowactivate", std::to_string(x_window_)}));
    EXPECT_TRUE(wait_for<window_event::Restored>(*window));
    EXPECT_TRUE(wait_for<window_event::Exposed>(*window)) << "a restored window is painted again";

    // The window manager's close (WM_DELETE_WINDOW) asks; the window stays until the UI destroys it.
    ASSERT_TRUE(display_->request_close(x_window_));
    EXPECT_TRUE(wait_for<window_event::CloseRequested>(*window));
}

// Pointer and key events among those given.
bool any_input(const std::vector<WindowEvent>& events)
{
    return contains<window_event::PointerMoved>(events) || contains<window_event::ButtonPressed>(events)
        || contains<window_event::ButtonReleased>(events) || contains<window_event::Wheel>(events)
        || contains<window_event::EscapePressed>(events);
}

TEST_F(WindowHostTest, MessageBoxOwnedByTheWindow)
{
    ASSERT_TRUE(start_display());
    auto window = shown_window();
    ASSERT_TRUE(window);
    // Should a box hold the caller, boxes are closed after a while so that the test ends.
    std::jthread watchdog([&](std::stop_token stop) {
        for (int i = 0; !stop.stop_requested(); ++i) {
            std::this_thread::sleep_for(10ms);
            if (i > 1500 && i % 100 == 0)
                for (unsigned long box : display_->windows_transient_for(x_window_))
                    display_->request_close(box);
        }
    });
    std::vector<WindowEvent> events;
    auto pump_until = [&](const std::function<bool()>& condition) {
        return test::wait_until([&] {
            while (auto event = window->wait_event(Clock::now()))
                events.push_back(*event);
            return condition();
        });
    };
    std::vector<unsigned long> boxes;
    auto box_shown = [&] {
        boxes = display_->windows_transient_for(x_window_);
        return boxes.size() == 1 && display_->is_viewable(boxes[0]);
    };

    // The call returns with the box open: a window transient for the launcher window.
    window->start_timer(3, 400ms);
    window->message_box("Aviso do teste", "Não foi possível abrir o jogo:\nteste", MessageIcon::Warning);
    window->message_box("Segundo aviso", "depois do primeiro", MessageIcon::Error);
    ASSERT_TRUE(pump_until(box_shown)) << "the box held the caller until it was closed";
    EXPECT_EQ(display_->text_property(boxes[0], "_NET_WM_NAME"), "Aviso do teste");
    display_->save_screenshot(test::binary_dir() / "window-host-message-box.png");

    // Behind the box the window takes no pointer or key input, and goes on: timers, wake-ups.
    ASSERT_TRUE(pointer_to(30, 30));
    ASSERT_TRUE(display_->xdotool({"click", "1"}));
    ASSERT_TRUE(display_->xdotool({"mousemove_relative", "--", "15", "10"}));
    ASSERT_TRUE(display_->xdotool({"windowfocus", "--sync", std::to_string(x_window_)}));
    ASSERT_TRUE(display_->xdotool({"key", "Escape"}));
    std::thread([waker = window->waker()] { waker(); }).join();
    ASSERT_TRUE(pump_until([&] { return contains<window_event::TimerFired>(events); }));
    EXPECT_TRUE(pump_until([&] { return contains<window_event::WorkersWoke>(events); }));
    EXPECT_FALSE(any_input(events));

    // Closed with Return; the second box follows; what was dropped never arrives later.
    ASSERT_TRUE(display_->xdotool({"windowfocus", "--sync", std::to_string(boxes[0])}));
    ASSERT_TRUE(display_->xdotool({"key", "Return"}));
    ASSERT_TRUE(pump_until([&] {
        return box_shown() && display_->text_property(boxes[0], "_NET_WM_NAME") == std::optional<std::string>("Segundo aviso");
    }));
    ASSERT_TRUE(display_->xdotool({"windowfocus", "--sync", std::to_string(boxes[0])}));
    ASSERT_TRUE(display_->xdotool({"key", "Return"}));
    ASSERT_TRUE(pump_until([&] { return display_->windows_transient_for(x_window_).empty(); }));
    events.clear();
    test::wait_until([&] {
        while (auto event = window->wait_event(Clock::now()))
            events.push_back(*event);
        return false;
    }, 1s);
    EXPECT_FALSE(any_input(events)) << "input made behind the box came after it closed";

    // Input reaches the window again.
    ASSERT_TRUE(pointer_to(40, 40));
    ASSERT_TRUE(display_->xdotool({"click", "1"}));
    EXPECT_TRUE(wait_for<window_event::ButtonReleased>(*window));

    // Destroying the window closes its box, without a word on standard error.
    testing::internal::CaptureStderr();
    window->message_box("Terceiro aviso", "fecha com a janela", MessageIcon::Error);
    ASSERT_TRUE(pump_until(box_shown));
    window->destroy();
    EXPECT_TRUE(test::wait_until([&] { return display_->windows_titled("Terceiro aviso").empty(); }));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// The box's text is whole whatever the locale: a box of accented text is as wide as the box of the
// same text without its accents (under a locale without UTF-8 only its first letter showed).
TEST_F(WindowHostTest, MessageBoxShowsItsWholeTextUnderAnyLocale)
{
    ASSERT_TRUE(start_display());
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, const char*>> environment; // a null value unsets
    };
    const Case cases[] = {
        {"no locale at all", {{"LC_ALL", nullptr}, {"LC_CTYPE", nullptr}, {"LANG", nullptr}}},
        {"LANG=C", {{"LC_ALL", nullptr}, {"LC_CTYPE", nullptr}, {"LANG", "C"}}},
        {"LC_ALL=POSIX over a UTF-8 LANG", {{"LC_ALL", "POSIX"}, {"LC_CTYPE", nullptr}, {"LANG", "C.UTF-8"}}},
        {"a UTF-8 session", {{"LC_ALL", nullptr}, {"LC_CTYPE", nullptr}, {"LANG", "C.UTF-8"}}},
    };
    const std::string accented = "Não foi possível abrir o jogo: a instalação está incompleta";
    const std::string plain = "Nao foi possivel abrir o jogo: a instalacao esta incompleta";
    // The box is shown here (it returns once closed) while another thread measures and closes it.
    auto box_width = [&](const std::string& text, const std::string& shot) -> int {
        const std::string title = "Caixa " + shot;
        std::optional<test::WindowGeometry> geometry;
        show_box_closed_by(title, text, [&] {
            std::vector<unsigned long> boxes;
            bool shown = test::wait_until([&] {
                boxes = display_->windows_titled(title);
                return boxes.size() == 1 && display_->is_viewable(boxes[0]);
            });
            if (!shown)
                return;
            std::this_thread::sleep_for(200ms);
            display_->save_screenshot(test::binary_dir() / ("window-host-box-" + shot + ".png"));
            geometry = display_->geometry(boxes[0]);
            display_->request_close(boxes[0]);
        });
        return geometry ? geometry->width : -1;
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [name, value] : c.environment) {
            if (value)
                ::setenv(name, value, 1);
            else
                ::unsetenv(name);
        }
        const std::string shot = std::to_string(index++);
        int plain_width = box_width(plain, shot + "-plain");
        int accented_width = box_width(accented, shot + "-accented");
        ASSERT_GT(plain_width, 300);
        EXPECT_NEAR(accented_width, plain_width, 6);
    }
}

TEST_F(WindowHostTest, OrphanMessageBoxOnTheDisplay)
{
    ASSERT_TRUE(start_display());
    bool seen = false;
    testing::internal::CaptureStderr();
    show_box_closed_by("Torvane", "Falha ao iniciar", [&] {
        std::vector<unsigned long> boxes;
        test::wait_until([&] {
            boxes = display_->windows_titled("Torvane");
            return boxes.size() == 1 && display_->is_viewable(boxes[0]);
        });
        if (boxes.size() != 1)
            return;
        seen = true;
        display_->xdotool({"windowfocus", "--sync", std::to_string(boxes[0])});
        display_->xdotool({"key", "Return"});
    });
    EXPECT_TRUE(seen);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "with a display the text goes to the box only";
}

} // namespace
} // namespace torvane::platform
