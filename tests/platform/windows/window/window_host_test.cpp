#include "platform/unicode.hpp"
#include "platform/window_host.hpp"
#include "windows_test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace torvane::platform {
namespace {

namespace ev = window_event;
using namespace std::chrono_literals;
using test::windows::Clock;
using test::windows::contains;
using test::windows::events_within;
using test::windows::wait_for;
using test::windows::wait_until;

// The DPI the test's Windows runs at: $TORVANE_TEST_DPI (the runner sets the prefix's LogPixels to
// it), else 96.
int expected_dpi()
{
    const wchar_t* text = _wgetenv(L"TORVANE_TEST_DPI");
    return text && *text ? _wtoi(text) : 96;
}

std::wstring class_of(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring title_of(HWND window)
{
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return title;
}

RECT window_rect(HWND window)
{
    RECT rect {};
    GetWindowRect(window, &rect);
    return rect;
}

// What a window's handler was given (on the UI thread, inside nested loops and for scale
// changes), and what the test does then.
struct HandledEvents {
    std::vector<WindowEvent> events;
    std::function<void(Window&, const WindowEvent&)> react;

    EventHandler handler()
    {
        return [this](Window& window, const WindowEvent& event) {
            events.push_back(event);
            if (react)
                react(window, event);
        };
    }
};

// The message box of the title once it is visible (from any thread), else null after 5 s.
HWND visible_box(const wchar_t* title)
{
    HWND box = nullptr;
    wait_until([&] {
        box = FindWindowW(L"#32770", title);
        return box && IsWindowVisible(box);
    }, 5s);
    return box && IsWindowVisible(box) ? box : nullptr;
}

BOOL CALLBACK close_if_box_of_this_process(HWND window, LPARAM)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16] = {};
    if (process == GetCurrentProcessId() && GetClassNameW(window, name, 16) && std::wstring(name) == L"#32770")
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// A box holds the UI thread until it is closed: should a test fail to close its boxes, this
// closes every box of the process after a while, so that the test ends (and fails) instead of
// hanging.
class BoxWatchman {
public:
    explicit BoxWatchman(std::chrono::seconds after = 15s)
        : thread_([after](std::stop_token stop) {
            auto until = Clock::now() + after;
            while (!stop.stop_requested()) {
                if (Clock::now() >= until)
                    EnumWindows(close_if_box_of_this_process, 0);
                Sleep(50);
            }
        })
    {
    }

private:
    std::jthread thread_;
};

class WindowHostTest : public testing::Test {
protected:
    // Creates and shows a window at the bounds given and waits until it is visible.
    std::unique_ptr<Window> shown_window(WindowOptions options = {.title = "Janela de teste", .bounds = {100, 80, 640, 400}})
    {
        auto created = create_window(options);
        EXPECT_TRUE(created) << created.error();
        if (!created)
            return nullptr;
        std::unique_ptr<Window> window = std::move(*created);
        // A picture to look at in the screenshots: a dark field with a light band on top.
        PixelSurface surface = window->surface();
        for (int y = 0; y < surface.height; ++y)
            std::fill_n(surface.pixels + static_cast<std::size_t>(y) * (surface.pitch / 4), surface.width,
                y < 30 ? 0xFFC0C8D0u : 0xFF203040u);
        window->show();
        hwnd_ = test::windows::launcher_hwnd();
        EXPECT_NE(hwnd_, nullptr);
        EXPECT_TRUE(IsWindowVisible(hwnd_));
        // Let the first paint and the window manager's moves settle.
        events_within(*window, 200ms);
        return window;
    }

    // A client point of the window in screen coordinates.
    POINT screen_point(int x, int y)
    {
        POINT point {x, y};
        ClientToScreen(hwnd_, &point);
        return point;
    }
    void pointer_to_client(int x, int y)
    {
        POINT point = screen_point(x, y);
        test::windows::pointer_to(point.x, point.y);
    }

    // Presses at a client point and in the 30-pixel band; the band's press drags the window by
    // 120, 80 in the system's modal move loop.
    void drag_by_the_band(Window& window_ref)
    {
        Window* window = &window_ref;
        RECT before = window_rect(hwnd_);
        pointer_to_client(200, 100);
        test::windows::left_button(true);
        test::windows::left_button(false);
        EXPECT_TRUE(wait_for<ev::ButtonPressed>(*window));
        pointer_to_client(200, 10);
        events_within(*window, 100ms);
        POINT start = screen_point(200, 10);
        // The drag runs in the system's modal move loop, inside the dispatch of the press: the input
        // comes from another thread.
        std::thread mover([&] {
            std::this_thread::sleep_for(100ms);
            test::windows::pointer_to(start.x + 60, start.y + 40);
            std::this_thread::sleep_for(100ms);
            test::windows::pointer_to(start.x + 120, start.y + 80);
            std::this_thread::sleep_for(100ms);
            test::windows::left_button(false);
        });
        test::windows::left_button(true);
        auto during = events_within(*window, 600ms);
        mover.join();
        EXPECT_FALSE(contains<ev::ButtonPressed>(during)) << "a press in the band reached the UI";
        EXPECT_TRUE(wait_until([&] {
            window->wait_event(Clock::now());
            RECT now = window_rect(hwnd_);
            return now.left == before.left + 120 && now.top == before.top + 80;
        })) << "dragging by the band did not move the window: " << window_rect(hwnd_).left << "," << window_rect(hwnd_).top;
        test::windows::save_screenshot(test::windows::screenshot_dir() / "windows-host-dragged.bmp");
    }

    HWND hwnd_ = nullptr;
};

TEST_F(WindowHostTest, DisplayScaleWorkAreaAndTheLauncherWindow)
{
    const float scale = static_cast<float>(expected_dpi()) / 96.0f;
    auto display = open_display();
    ASSERT_TRUE(display) << display.error();
    EXPECT_FLOAT_EQ(display->system_scale, scale);
    RECT area {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(display->usable_bounds, (PixelRect {area.left, area.top, area.right - area.left, area.bottom - area.top}));
    EXPECT_GT(display->usable_bounds.w, 0);

    // The launcher's window: 1100 x 660 at the system's scale, centred in the work area.
    std::int32_t width = static_cast<std::int32_t>(std::ceil(1100 * scale));
    std::int32_t height = static_cast<std::int32_t>(std::ceil(660 * scale));
    PixelRect bounds {display->usable_bounds.x + (display->usable_bounds.w - width) / 2,
        display->usable_bounds.y + (display->usable_bounds.h - height) / 2, width, height};
    auto window = shown_window({.title = "Servidor Árvore", .bounds = bounds});
    ASSERT_TRUE(window);
    test::windows::save_screenshot(test::windows::screenshot_dir() / "windows-host-launcher-window.bmp");
    EXPECT_FLOAT_EQ(window->scale(), scale);
    RECT rect = window_rect(hwnd_);
    EXPECT_EQ(rect.left, bounds.x);
    EXPECT_EQ(rect.top, bounds.y);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
    RECT client {};
    GetClientRect(hwnd_, &client);
    EXPECT_EQ(client.right, width) << "a popup window is all client area";
    EXPECT_EQ(client.bottom, height);
    PixelSurface surface = window->surface();
    EXPECT_EQ(surface.width, width);
    EXPECT_EQ(surface.height, height);
    EXPECT_EQ(surface.pitch, width * 4);

    EXPECT_EQ(class_of(hwnd_), L"PellamoorLauncherMain");
    EXPECT_EQ(title_of(hwnd_), L"Servidor \u00C1rvore");
    auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_CAPTION) << "the launcher draws its own title bar";
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_TRUE(GetClassLongPtrW(hwnd_, GCL_STYLE) & CS_DBLCLKS);
    EXPECT_NE(GetClassLongPtrW(hwnd_, GCLP_HICON), 0u) << "the class carries the executable's icon 1";

    for (const char* title : {"Outro título", "Servidor \xE2\x98\x85 2", ""}) {
        window->set_title(title);
        EXPECT_EQ(title_of(hwnd_), to_wide(title)) << title;
    }

    window->set_bounds({50, 40, 320, 200});
    rect = window_rect(hwnd_);
    EXPECT_EQ(rect.left, 50);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.right - rect.left, 320);
    EXPECT_EQ(rect.bottom - rect.top, 200);
    surface = window->surface();
    EXPECT_EQ(surface.width, 320) << "the back buffer follows the window's size";
    EXPECT_EQ(surface.height, 200);
    ASSERT_NE(surface.pixels, nullptr);

    window->destroy();
    EXPECT_TRUE(window->destroyed());
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(window->wait_event(std::nullopt), std::nullopt) << "a destroyed window has no events";
    EXPECT_EQ(window->surface().pixels, nullptr);
}

TEST_F(WindowHostTest, TheBackBufferIsPaintedAndPresentedRectanglesReachTheScreen)
{
    auto created = create_window({.title = "Janela de teste", .bounds = {100, 80, 640, 400}});
    ASSERT_TRUE(created) << created.error();
    Window& window = **created;
    PixelSurface surface = window.surface();
    ASSERT_NE(surface.pixels, nullptr);
    auto fill = [&](RECT rect, std::uint32_t word) {
        for (LONG y = rect.top; y < rect.bottom; ++y)
            for (LONG x = rect.left; x < rect.right; ++x)
                surface.pixels[static_cast<std::size_t>(y) * (surface.pitch / 4) + x] = word;
    };
    // Drawn before the window is shown: its first WM_PAINT copies it from the back buffer.
    fill({0, 0, 640, 400}, 0xFF102030);
    fill({20, 30, 220, 130}, 0xFFE02010);
    window.show();
    hwnd_ = test::windows::launcher_hwnd();
    RECT area {100, 80, 740, 480};
    EXPECT_TRUE(wait_until([&] {
        window.wait_event(Clock::now());
        auto image = test::windows::capture_screen(area);
        return image.at(25, 35) == 0xE02010 && image.at(219, 129) == 0xE02010 && image.at(220, 130) == 0x102030
            && image.at(19, 29) == 0x102030 && image.at(639, 399) == 0x102030;
    })) << "the first paint did not show the back buffer";

    // Only the rectangles handed over reach the screen.
    fill({0, 0, 640, 400}, 0xFF00FF00);
    const PixelRect parts[] = {{600, 360, 40, 40}, {0, 0, 10, 10}};
    window.update_rects(parts);
    EXPECT_TRUE(wait_until([&] {
        window.wait_event(Clock::now());
        auto image = test::windows::capture_screen(area);
        return image.at(639, 399) == 0x00FF00 && image.at(600, 360) == 0x00FF00 && image.at(5, 5) == 0x00FF00
            && image.at(10, 10) == 0x102030 && image.at(25, 35) == 0xE02010 && image.at(599, 359) == 0x102030;
    }));
    test::windows::save_screenshot(test::windows::screenshot_dir() / "windows-host-present.bmp");

    // An invalidated window (what uncovering it does on Windows; Wine keeps the picture itself)
    // is painted from the back buffer: everything it holds now shows.
    InvalidateRect(hwnd_, nullptr, FALSE);
    EXPECT_TRUE(wait_until([&] {
        window.wait_event(Clock::now());
        auto image = test::windows::capture_screen(area);
        return image.at(100, 100) == 0x00FF00 && image.at(25, 35) == 0x00FF00 && image.at(320, 200) == 0x00FF00;
    })) << "WM_PAINT did not copy the back buffer";
}

TEST_F(WindowHostTest, PointerButtonsWheelAndKeysFromInput)
{
    auto window = shown_window();
    ASSERT_TRUE(window);
    SetForegroundWindow(hwnd_);

    pointer_to_client(10, 20);
    EXPECT_TRUE(wait_until([&] {
        for (const WindowEvent& event : events_within(*window, 50ms))
            if (auto* moved = std::get_if<ev::PointerMoved>(&event); moved && moved->x == 10 && moved->y == 20)
                return true;
        return false;
    })) << "no move to the client point 10, 20";

    pointer_to_client(300, 200);
    test::windows::left_button(true);
    auto pressed = wait_for<ev::ButtonPressed>(*window);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(pressed->x, 300);
    EXPECT_EQ(pressed->y, 200);
    test::windows::left_button(false);
    auto released = wait_for<ev::ButtonReleased>(*window);
    ASSERT_TRUE(released);
    EXPECT_EQ(released->x, 300);
    EXPECT_EQ(released->y, 200);
    events_within(*window, 600ms); // past the double-click time

    // A double press (WM_LBUTTONDBLCLK) is a press too; the right button is not the UI's.
    for (int i = 0; i < 2; ++i) {
        test::windows::left_button(true);
        test::windows::left_button(false);
    }
    test::windows::right_click();
    test::windows::wheel(WHEEL_DELTA);
    test::windows::wheel(-2 * WHEEL_DELTA);
    test::windows::wheel(30); // a fine wheel's small step still scrolls one notch
    auto events = events_within(*window, 500ms);
    auto count = [&](auto type) {
        return std::ranges::count_if(events, [](const WindowEvent& e) { return std::holds_alternative<decltype(type)>(e); });
    };
    EXPECT_EQ(count(ev::ButtonPressed {}), 2);
    EXPECT_EQ(count(ev::ButtonReleased {}), 2);
    std::vector<std::int32_t> wheels;
    for (const WindowEvent& event : events)
        if (auto* turned = std::get_if<ev::Wheel>(&event))
            wheels.push_back(turned->delta);
    EXPECT_EQ(wheels, (std::vector<std::int32_t> {1, -2, 1}));

    test::windows::key_press(VK_ESCAPE);
    test::windows::key_press('A');
    test::windows::key_press(VK_ESCAPE);
    events = events_within(*window, 500ms);
    EXPECT_EQ(count(ev::EscapePressed {}), 2);

    // Leaving the window is reported.
    pointer_to_client(700, 450);
    EXPECT_TRUE(wait_for<ev::PointerLeft>(*window)) << "no WM_MOUSELEAVE";
}

TEST_F(WindowHostTest, CaptureKeepsThePointerWhileTheButtonIsDown)
{
    auto window = shown_window();
    ASSERT_TRUE(window);
    pointer_to_client(100, 100);
    test::windows::left_button(true);
    ASSERT_TRUE(wait_for<ev::ButtonPressed>(*window));
    window->capture_pointer(PointerCapture::Hold);
    EXPECT_TRUE(window->holds_capture());
    EXPECT_EQ(GetCapture(), hwnd_);

    pointer_to_client(700, 450); // outside: 640 x 400
    std::optional<ev::PointerMoved> outside;
    auto events = events_within(*window, 500ms);
    for (const WindowEvent& event : events)
        if (auto* move = std::get_if<ev::PointerMoved>(&event))
            outside = *move;
    EXPECT_FALSE(contains<ev::PointerLeft>(events)) << "a captured pointer has not left";
    ASSERT_TRUE(outside) << "a captured pointer reports its moves outside the window";
    EXPECT_EQ(outside->x, 700);
    EXPECT_EQ(outside->y, 450);

    test::windows::left_button(false);
    auto released = wait_for<ev::ButtonReleased>(*window);
    ASSERT_TRUE(released);
    EXPECT_EQ(released->x, 700);
    window->capture_pointer(PointerCapture::Release);
    EXPECT_FALSE(window->holds_capture());
    // Let go outside the window: the pointer has left it.
    EXPECT_TRUE(wait_for<ev::PointerLeft>(*window, 2s));
}

TEST_F(WindowHostTest, TheDragTestMakesTheCaptionAndTheCursorFollowsTheUi)
{
    // The top 30 pixels drag the window, as the UI's drag test says; the test is asked in client
    // pixels.
    std::vector<std::pair<int, int>> asked;
    auto window = shown_window({.title = "t", .bounds = {100, 80, 640, 400}, .drag_test = [&](int x, int y) {
        asked.emplace_back(x, y);
        return y < 30;
    }});
    ASSERT_TRUE(window);
    struct Case {
        int x;
        int y;
        LRESULT hit;
    };
    const Case cases[] = {{200, 10, HTCAPTION}, {0, 29, HTCAPTION}, {200, 30, HTCLIENT}, {639, 399, HTCLIENT}};
    for (const Case& c : cases) {
        POINT point = screen_point(c.x, c.y);
        LRESULT hit = SendMessageW(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
        EXPECT_EQ(hit, c.hit) << c.x << "," << c.y;
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.back(), std::make_pair(c.x, c.y));
    }

    // A press in the band moves the window instead of reaching the UI. With a window manager Wine
    // hands the move to it (_NET_WM_MOVERESIZE), and it follows the X pointer, which SendInput
    // does not drive: that drag is the end-to-end tests' (xdotool).
    if (const wchar_t* manager = _wgetenv(L"TORVANE_TEST_WINDOW_MANAGER"); !manager || std::wstring(manager) != L"1")
        drag_by_the_band(*window);

    // The cursor over the client area is the one the UI chose last.
    pointer_to_client(300, 300);
    events_within(*window, 200ms);
    window->set_cursor(Cursor::Hand);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    SendMessageW(hwnd_, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    window->set_cursor(Cursor::Arrow);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(WindowHostTest, TimersFireOnceAndStoppedOnesNever)
{
    HandledEvents handled;
    auto window = shown_window({.title = "Janela de teste", .bounds = {100, 80, 640, 400}, .on_event = handled.handler()});
    ASSERT_TRUE(window);
    window->start_timer(7, 150ms);
    window->start_timer(8, 10ms);
    window->stop_timer(8);
    window->start_timer(9, 10s);
    window->start_timer(9, 50ms); // re-arming restarts it

    std::vector<std::int32_t> fired;
    auto deadline = Clock::now() + 10s;
    while (fired.size() < 2) {
        auto event = window->wait_event(deadline);
        ASSERT_TRUE(event) << "timers 7 and 9 did not both fire";
        if (auto* timer = std::get_if<ev::TimerFired>(&*event))
            fired.push_back(timer->id);
    }
    EXPECT_EQ(fired, (std::vector<std::int32_t> {9, 7}));
    auto later = events_within(*window, 400ms);
    EXPECT_FALSE(contains<ev::TimerFired>(later)) << "a stopped or fired timer fired (again)";

    // A timer whose WM_TIMER is already due but not yet handed over never reports once stopped.
    window->start_timer(7, 10ms);
    Sleep(100);
    window->stop_timer(7);
    EXPECT_FALSE(contains<ev::TimerFired>(events_within(*window, 200ms)));

    // A timer that fires while a message box is open reaches the UI meanwhile (through the
    // handler); stopped while the box is open, before it fires, it never reports.
    BoxWatchman watchman;
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped while the box is open" : "kept");
        handled.events.clear();
        handled.react = [&, stopped = false](Window& w, const WindowEvent& event) mutable {
            if (stop && !stopped && std::holds_alternative<ev::FrameDue>(event)) {
                stopped = true;
                w.stop_timer(7);
            }
        };
        window->start_timer(7, stop ? 300ms : 10ms);
        std::thread closer([] {
            if (HWND box = visible_box(L"Tempo")) {
                Sleep(600);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        });
        window->message_box("Tempo", "espera", MessageIcon::Warning);
        closer.join();
        EXPECT_EQ(contains<ev::TimerFired>(handled.events), !stop);
        EXPECT_FALSE(contains<ev::TimerFired>(events_within(*window, 400ms))) << "the timer reported after the box";
        EXPECT_TRUE(IsWindowEnabled(hwnd_));
    }
    handled.react = nullptr;

    // The wait ends at its deadline when nothing happens, not before.
    for (auto span : {1ms, 16ms, 30ms}) {
        auto before = Clock::now();
        EXPECT_EQ(window->wait_event(before + span), std::nullopt);
        EXPECT_GE(Clock::now(), before + span);
    }
}

TEST_F(WindowHostTest, WakerFromOtherThreadsAndAfterTheWindowIsGone)
{
    auto window = shown_window();
    ASSERT_TRUE(window);
    std::function<void()> wake = window->waker();
    std::thread worker([wake] {
        for (int i = 0; i < 20000; ++i)
            wake();
    });
    worker.join();
    // Twenty thousand wake-ups post one message: the posted queue (10000 at most) never fills.
    auto events = events_within(*window, 300ms);
    EXPECT_EQ(std::ranges::count_if(events, [](const WindowEvent& e) { return std::holds_alternative<ev::WorkersWoke>(e); }), 1);

    // A wake-up ends a wait without a deadline at once.
    std::thread late([wake] {
        std::this_thread::sleep_for(50ms);
        wake();
    });
    auto before = Clock::now();
    std::optional<WindowEvent> event;
    do
        event = window->wait_event(std::nullopt);
    while (event && !std::holds_alternative<ev::WorkersWoke>(*event));
    late.join();
    EXPECT_TRUE(event && std::holds_alternative<ev::WorkersWoke>(*event));
    EXPECT_LT(Clock::now() - before, 5s);

    window->destroy();
    wake(); // after destroy: nothing happens
    window.reset();
    std::thread after([wake] { wake(); });
    after.join();
}

TEST_F(WindowHostTest, MinimiseRestoreCloseAndScaleChange)
{
    auto window = shown_window();
    ASSERT_TRUE(window);
    window->minimise();
    EXPECT_TRUE(wait_for<ev::Minimised>(*window));
    EXPECT_TRUE(IsIconic(hwnd_));
    // What a second launcher does to bring this one back.
    ShowWindow(hwnd_, SW_RESTORE);
    EXPECT_TRUE(wait_for<ev::Restored>(*window));
    EXPECT_FALSE(IsIconic(hwnd_));

    // The system's close asks; the window stays until the UI destroys it.
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(wait_for<ev::CloseRequested>(*window));
    EXPECT_TRUE(IsWindow(hwnd_));
    PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(wait_for<ev::CloseRequested>(*window)) << "Alt+F4 and the system menu's close";

    // Moving to a monitor of 192 dpi: the new scale and the suggested corner; the UI sizes it.
    RECT suggested {30, 20, 30 + 1280, 20 + 800};
    SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    auto changed = wait_for<ev::ScaleChanged>(*window);
    ASSERT_TRUE(changed);
    EXPECT_FLOAT_EQ(changed->scale, 2.0f);
    EXPECT_EQ(changed->left, 30);
    EXPECT_EQ(changed->top, 20);
    EXPECT_FLOAT_EQ(window->scale(), 2.0f);
    RECT rect = window_rect(hwnd_);
    EXPECT_EQ(rect.right - rect.left, 640) << "the window keeps its size until the UI sets it";
}

// A WM_DPICHANGED is answered inside the message, wherever it arrives: when SendMessageW returns
// the window has the size the handler gave it (what the UI does: its own size at the new scale,
// at the suggested corner) and a back buffer of that size. Sent on the UI thread, from another
// thread into a message box's modal loop, and from another thread into the system's move loop
// while the window is dragged.
TEST_F(WindowHostTest, AScaleChangeIsAnsweredInsideTheMessage)
{
    HandledEvents handled;
    PixelSurface resized {};
    handled.react = [&](Window& w, const WindowEvent& event) {
        if (auto* change = std::get_if<ev::ScaleChanged>(&event)) {
            w.set_bounds({change->left, change->top, static_cast<std::int32_t>(std::ceil(640 * change->scale)),
                static_cast<std::int32_t>(std::ceil(400 * change->scale))});
            resized = w.surface();
        }
    };
    auto window = shown_window({.title = "Janela de teste", .bounds = {100, 80, 640, 400},
        .drag_test = [](int, int y) { return y < 30; }, .on_event = handled.handler()});
    ASSERT_TRUE(window);
    BoxWatchman watchman;
    // The window's size and position when the sent message returned.
    auto send_dpi = [&](int dpi, POINT corner) {
        RECT suggested {corner.x, corner.y, corner.x + 100, corner.y + 100}; // its size is not used
        SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        return window_rect(hwnd_);
    };
    auto size_of = [](RECT rect) { return std::make_pair(rect.right - rect.left, rect.bottom - rect.top); };

    {
        SCOPED_TRACE("on the UI thread");
        RECT rect = send_dpi(192, {30, 20});
        EXPECT_EQ(rect.left, 30);
        EXPECT_EQ(rect.top, 20);
        EXPECT_EQ(size_of(rect), std::make_pair(1280L, 800L));
        EXPECT_EQ(std::make_pair(resized.width, resized.height), std::make_pair(1280, 800));
        EXPECT_EQ(std::make_pair(window->surface().width, window->surface().height), std::make_pair(1280, 800));
        EXPECT_FLOAT_EQ(window->scale(), 2.0f);
    }
    {
        SCOPED_TRACE("into a message box's modal loop");
        RECT rect {};
        std::thread sender([&] {
            HWND box = visible_box(L"Escala");
            if (!box)
                return;
            rect = send_dpi(144, {60, 50});
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        window->message_box("Escala", "durante a caixa", MessageIcon::Warning);
        sender.join();
        EXPECT_EQ(rect.left, 60);
        EXPECT_EQ(rect.top, 50);
        EXPECT_EQ(size_of(rect), std::make_pair(960L, 600L));
        EXPECT_EQ(std::make_pair(resized.width, resized.height), std::make_pair(960, 600));
        EXPECT_FLOAT_EQ(window->scale(), 1.5f);
    }
    // With a window manager Wine hands the move to it, which SendInput does not drive (see the
    // drag test).
    if (const wchar_t* manager = _wgetenv(L"TORVANE_TEST_WINDOW_MANAGER"); manager && std::wstring(manager) == L"1")
        return;
    {
        SCOPED_TRACE("into the move loop of a drag");
        pointer_to_client(200, 10);
        events_within(*window, 100ms);
        handled.events.clear();
        POINT start = screen_point(200, 10);
        RECT during {};
        std::thread mover([&] {
            std::this_thread::sleep_for(150ms);
            test::windows::pointer_to(start.x + 40, start.y + 30);
            std::this_thread::sleep_for(150ms);
            during = send_dpi(96, {start.x - 160, start.y - 10});
            std::this_thread::sleep_for(150ms);
            test::windows::left_button(false);
        });
        test::windows::left_button(true);
        events_within(*window, 800ms);
        mover.join();
        EXPECT_EQ(size_of(during), std::make_pair(640L, 400L)) << "the size waited for the end of the drag";
        EXPECT_EQ(std::make_pair(resized.width, resized.height), std::make_pair(640, 400));
        EXPECT_TRUE(contains<ev::FrameDue>(handled.events)) << "no frame was due while the window was dragged";
        EXPECT_FALSE(contains<ev::ButtonPressed>(handled.events)) << "the press in the band reached the UI";
        EXPECT_EQ(size_of(window_rect(hwnd_)), std::make_pair(640L, 400L));
    }
}

// The message box that the window owns, on the UI thread: the window is disabled while it is open
// and keeps its picture; wake-ups and frame ticks reach the handler meanwhile; when it is closed
// the window is enabled and in front again.
TEST_F(WindowHostTest, MessageBoxOwnedByTheWindow)
{
    HandledEvents handled;
    auto window = shown_window({.title = "Janela de teste", .bounds = {100, 80, 640, 400}, .on_event = handled.handler()});
    ASSERT_TRUE(window);
    ASSERT_EQ(GetForegroundWindow(), hwnd_);
    PixelSurface surface = window->surface();
    std::fill_n(surface.pixels, static_cast<std::size_t>(surface.width) * surface.height, 0xFF3060A0u);
    const PixelRect whole[] = {{0, 0, surface.width, surface.height}};
    window->update_rects(whole);
    std::function<void()> wake = window->waker();
    BoxWatchman watchman;

    std::wstring caption;
    bool owner_disabled = false;
    bool still_painted = false;
    std::atomic<bool> closed {false};
    std::thread closer([&] {
        HWND box = visible_box(L"Aviso do teste");
        if (!box)
            return;
        caption = title_of(box);
        owner_disabled = GetWindow(box, GW_OWNER) == hwnd_ && !IsWindowEnabled(hwnd_);
        wake();
        // The owner repaints from its back buffer while the box's loop runs.
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT owner = window_rect(hwnd_);
        still_painted = wait_until([&] {
            auto image = test::windows::capture_screen({owner.left, owner.top, owner.left + 20, owner.top + 20});
            return !image.pixels.empty() && image.at(5, 5) == 0x3060A0;
        }, 3s);
        test::windows::save_screenshot(test::windows::screenshot_dir() / "windows-host-message-box.bmp");
        Sleep(200);
        closed = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    window->message_box("Aviso do teste", "Não foi possível abrir o jogo:\nteste", MessageIcon::Warning);
    EXPECT_TRUE(closed) << "message_box returned before its box was closed";
    closer.join();
    EXPECT_EQ(caption, L"Aviso do teste");
    EXPECT_TRUE(owner_disabled) << "the box is owned by the window and disables it";
    EXPECT_TRUE(still_painted);
    EXPECT_TRUE(IsWindowEnabled(hwnd_));
    EXPECT_EQ(GetForegroundWindow(), hwnd_) << "the window is not in front after its box";
    EXPECT_TRUE(contains<ev::WorkersWoke>(handled.events)) << "the wake-up during the box waited for it";
    EXPECT_TRUE(contains<ev::FrameDue>(handled.events)) << "no frame was due while the box was open";
    EXPECT_FALSE(contains<ev::WorkersWoke>(events_within(*window, 300ms))) << "the wake-up came again after the box";
}

// The UI goes on while its box is open: wake-ups from workers and timers reach the handler while
// the box shows; the window takes no input meanwhile (a click is dropped, not delivered later); a
// box asked for from the handler follows the first, and message_box returns when both are closed;
// destroying the window from the handler closes its box.
TEST_F(WindowHostTest, TheUiRunsWhileItsMessageBoxIsOpen)
{
    HandledEvents handled;
    auto window = shown_window({.title = "Janela de teste", .bounds = {100, 80, 640, 400}, .on_event = handled.handler()});
    ASSERT_TRUE(window);
    std::function<void()> wake = window->waker();
    BoxWatchman watchman;

    // The handler, on the UI thread inside the first box's loop.
    std::atomic<int> wakes {0};
    std::atomic<int> timers {0};
    std::atomic<int> presses {0};
    std::atomic<bool> second_asked {false};
    bool second_returned_at_once = false;
    handled.react = [&](Window& w, const WindowEvent& event) {
        if (std::holds_alternative<ev::WorkersWoke>(event))
            ++wakes;
        if (std::holds_alternative<ev::ButtonPressed>(event))
            ++presses;
        if (std::holds_alternative<ev::TimerFired>(event)) {
            ++timers;
            auto before = Clock::now();
            w.message_box("Caixa dois", "segunda", MessageIcon::Error);
            second_returned_at_once = Clock::now() - before < 2s;
            second_asked = true;
        }
    };

    // The player, on a thread of its own.
    struct Seen {
        bool first_owned = false;
        bool first_disabled = false;
        bool ui_went_on = false;
        bool second_waited = false;
        bool click_dropped = false;
        bool second_shown = false;
        bool disabled_between = false;
    } seen;
    std::thread player([&] {
        HWND first = visible_box(L"Caixa um");
        if (!first)
            return;
        seen.first_owned = GetWindow(first, GW_OWNER) == hwnd_;
        seen.first_disabled = !IsWindowEnabled(hwnd_);
        std::thread([wake] { wake(); }).join();
        seen.ui_went_on = wait_until([&] { return wakes > 0 && timers > 0 && second_asked; }, 5s);
        seen.second_waited = FindWindowW(L"#32770", L"Caixa dois") == nullptr;
        test::windows::save_screenshot(test::windows::screenshot_dir() / "windows-host-box-ui-runs.bmp");

        // A click on the window beside the box.
        RECT box_rect = window_rect(first);
        RECT owner = window_rect(hwnd_);
        POINT beside = box_rect.left - owner.left > 40 ? POINT {20, 60} : POINT {(owner.right - owner.left) - 20, 60};
        pointer_to_client(beside.x, beside.y);
        test::windows::left_button(true);
        test::windows::left_button(false);
        Sleep(300);
        seen.click_dropped = presses == 0;

        PostMessageW(first, WM_COMMAND, IDOK, 0);
        HWND second = visible_box(L"Caixa dois");
        seen.second_shown = second != nullptr;
        seen.disabled_between = !IsWindowEnabled(hwnd_);
        if (second)
            PostMessageW(second, WM_COMMAND, IDOK, 0);
    });
    window->start_timer(7, 20ms);
    window->message_box("Caixa um", "primeira", MessageIcon::Warning);
    player.join();
    EXPECT_TRUE(seen.first_owned);
    EXPECT_TRUE(seen.first_disabled) << "the window takes input while its box is open";
    EXPECT_TRUE(seen.ui_went_on) << "a worker's wake-up or a timer waited for the box";
    EXPECT_TRUE(second_returned_at_once) << "a box asked for while one is open did not wait its turn";
    EXPECT_TRUE(seen.second_waited) << "the second box did not wait for the first";
    EXPECT_TRUE(seen.click_dropped) << "a click reached the UI while the box was open";
    EXPECT_TRUE(seen.second_shown) << "message_box returned before the box asked for meanwhile was shown";
    EXPECT_TRUE(seen.disabled_between) << "the window took input between its two boxes";
    EXPECT_TRUE(IsWindowEnabled(hwnd_));
    EXPECT_EQ(GetForegroundWindow(), hwnd_) << "the window is not in front after its boxes";
    EXPECT_FALSE(contains<ev::ButtonPressed>(events_within(*window, 300ms))) << "the click behind the box came after it";

    // Destroying the window from the handler closes its box, without a word on standard error.
    bool third_shown = false;
    handled.react = [&](Window& w, const WindowEvent& event) {
        if (std::holds_alternative<ev::TimerFired>(event)) {
            HWND third = FindWindowW(L"#32770", L"Caixa três");
            third_shown = third && IsWindowVisible(third);
            w.destroy();
        }
    };
    window->start_timer(7, 300ms);
    testing::internal::CaptureStderr();
    window->message_box("Caixa três", "terceira", MessageIcon::Warning);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(third_shown);
    EXPECT_TRUE(window->destroyed());
    EXPECT_EQ(FindWindowW(L"#32770", L"Caixa três"), nullptr) << "the box outlived its window";
}

TEST_F(WindowHostTest, OrphanMessageBox)
{
    bool seen = false;
    std::thread closer([&] {
        HWND box = nullptr;
        wait_until([&] {
            box = FindWindowW(L"#32770", L"Torvane");
            return box && IsWindowVisible(box);
        });
        if (!box)
            return;
        seen = GetWindow(box, GW_OWNER) == nullptr;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    testing::internal::CaptureStderr();
    show_orphan_message_box("Torvane", "Falha ao iniciar", MessageIcon::Error);
    closer.join();
    EXPECT_TRUE(seen);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "with a desktop the text goes to the box only";
}

// Where no desktop can be reached (Wine without an X display) the window is not made, with the
// reason, and a box's text goes to standard error.
TEST(WindowHostWithoutDisplayTest, TheWindowFailsAndBoxesPrintTheirText)
{
    auto child = test::windows::ChildProcess::start({L"without-display"},
        {.without_display = true, .keep_standard_error = true});
    ASSERT_TRUE(child);
    std::string output = child->standard_error();
    std::erase(output, '\r'); // the standard streams are in text mode
    std::optional<DWORD> code = child->wait();
    if (code == 30u)
        GTEST_SKIP() << "a desktop is reachable without DISPLAY (Wine's desktop runs already): run without a display";
    EXPECT_EQ(code, 0u) << output;
    EXPECT_TRUE(output.starts_with("Não foi possível criar a janela: ")) << output;
    EXPECT_TRUE(output.ends_with("\nTorvane: Falha sem tela\n")) << output;
}

} // namespace
} // namespace torvane::platform
