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
        std::u16string expected = utf16_units(title);
        EXPECT_EQ(title_of(hwnd_), std::wstring(expected.begin(), expected.end())) << title;
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
    auto window = shown_window();
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

    // A timer that fires while a message box is open reaches the UI meanwhile; stopped before the
    // UI takes it, it never reports.
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped while the box is open" : "kept");
        window->start_timer(7, 10ms);
        window->message_box("Tempo", "espera", MessageIcon::Warning);
        if (stop) {
            Sleep(100);
            window->stop_timer(7);
        }
        HWND box = nullptr;
        std::vector<WindowEvent> during;
        EXPECT_TRUE(wait_until([&] {
            if (auto event = window->wait_event(Clock::now() + 10ms))
                during.push_back(*event);
            return (box = FindWindowW(L"#32770", L"Tempo")) != nullptr;
        }));
        auto more = events_within(*window, 300ms);
        during.insert(during.end(), more.begin(), more.end());
        EXPECT_EQ(contains<ev::TimerFired>(during), !stop);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(wait_until([&] {
            window->wait_event(Clock::now() + 10ms);
            return IsWindowEnabled(hwnd_) && !FindWindowW(L"#32770", L"Tempo");
        }));
    }

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

// The message box that the window owns: the window is disabled while it is open and keeps its
// picture; wake-ups that arrive meanwhile reach the UI.
TEST_F(WindowHostTest, MessageBoxOwnedByTheWindow)
{
    auto window = shown_window();
    ASSERT_TRUE(window);
    PixelSurface surface = window->surface();
    std::fill_n(surface.pixels, static_cast<std::size_t>(surface.width) * surface.height, 0xFF3060A0u);
    const PixelRect whole[] = {{0, 0, surface.width, surface.height}};
    window->update_rects(whole);
    std::function<void()> wake = window->waker();

    std::wstring caption;
    bool owner_disabled = false;
    bool still_painted = false;
    std::atomic<bool> closed {false};
    std::thread closer([&] {
        HWND box = nullptr;
        wait_until([&] {
            box = FindWindowW(L"#32770", L"Aviso do teste");
            return box && IsWindowVisible(box);
        });
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
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        closed = true;
    });
    window->message_box("Aviso do teste", "Não foi possível abrir o jogo:\nteste", MessageIcon::Warning);
    // The UI's loop goes on meanwhile (the closer's repaint is answered by it).
    std::vector<WindowEvent> during;
    wait_until([&] {
        if (auto event = window->wait_event(Clock::now() + 10ms))
            during.push_back(*event);
        return closed.load();
    }, 20s);
    closer.join();
    EXPECT_TRUE(wait_until([&] {
        if (auto event = window->wait_event(Clock::now() + 10ms))
            during.push_back(*event);
        return IsWindowEnabled(hwnd_) && !FindWindowW(L"#32770", L"Aviso do teste");
    }));
    EXPECT_EQ(caption, L"Aviso do teste");
    EXPECT_TRUE(owner_disabled) << "the box is owned by the window and disables it";
    EXPECT_TRUE(still_painted);
    EXPECT_TRUE(IsWindowEnabled(hwnd_));
    EXPECT_TRUE(contains<ev::WorkersWoke>(during)) << "the wake-up during the box was lost";
}

// The UI goes on while its box is open: message_box returns at once; wake-ups from workers and
// timers reach the UI while the box shows; the window takes no input meanwhile (a click is dropped,
// not delivered later); a second box follows the first; destroying the window closes its box.
TEST_F(WindowHostTest, TheUiRunsWhileItsMessageBoxIsOpen)
{
    auto window = shown_window();
    ASSERT_TRUE(window);
    std::function<void()> wake = window->waker();
    // A box that held the UI thread would hang the test: a watchman closes what is left after 8 s.
    std::atomic<bool> finished {false};
    std::jthread watchman([&] {
        auto until = Clock::now() + 8s;
        while (!finished && Clock::now() < until)
            Sleep(50);
        while (!finished) {
            for (const wchar_t* title : {L"Caixa um", L"Caixa dois", L"Caixa três"})
                if (HWND box = FindWindowW(L"#32770", title))
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
            Sleep(50);
        }
    });
    // Ends the watchman when the test ends, also on a failed assertion.
    struct Finish {
        std::atomic<bool>& flag;
        ~Finish() { flag = true; }
    } finish {finished};
    auto visible_box = [&](const wchar_t* title) {
        HWND box = nullptr;
        wait_until([&] {
            window->wait_event(Clock::now() + 10ms);
            box = FindWindowW(L"#32770", title);
            return box && IsWindowVisible(box);
        }, 5s);
        return box;
    };

    auto before = Clock::now();
    window->message_box("Caixa um", "primeira", MessageIcon::Warning);
    window->message_box("Caixa dois", "segunda", MessageIcon::Error);
    EXPECT_LT(Clock::now() - before, 2s) << "message_box waited for its box to be closed";
    HWND first = visible_box(L"Caixa um");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetWindow(first, GW_OWNER), hwnd_);
    EXPECT_FALSE(IsWindowEnabled(hwnd_)) << "the window takes input while its box is open";
    EXPECT_EQ(FindWindowW(L"#32770", L"Caixa dois"), nullptr) << "the second box did not wait for the first";

    std::thread([wake] { wake(); }).join();
    window->start_timer(7, 20ms);
    auto during = events_within(*window, 500ms);
    EXPECT_TRUE(contains<ev::WorkersWoke>(during)) << "a worker's wake-up waits for the box";
    EXPECT_TRUE(contains<ev::TimerFired>(during)) << "a timer waits for the box";
    EXPECT_TRUE(IsWindowVisible(first));
    test::windows::save_screenshot(test::windows::screenshot_dir() / "windows-host-box-ui-runs.bmp");

    // A click on the window beside the box.
    RECT box_rect = window_rect(first);
    RECT owner = window_rect(hwnd_);
    POINT beside = box_rect.left - owner.left > 40 ? POINT {20, 60} : POINT {(owner.right - owner.left) - 20, 60};
    pointer_to_client(beside.x, beside.y);
    test::windows::left_button(true);
    test::windows::left_button(false);
    auto clicked = events_within(*window, 300ms);
    EXPECT_FALSE(contains<ev::ButtonPressed>(clicked)) << "a click reached the UI while the box was open";

    PostMessageW(first, WM_COMMAND, IDOK, 0);
    HWND second = visible_box(L"Caixa dois");
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindowEnabled(hwnd_)) << "the window took input between its two boxes";
    PostMessageW(second, WM_COMMAND, IDOK, 0);
    std::vector<WindowEvent> after;
    EXPECT_TRUE(wait_until([&] {
        if (auto event = window->wait_event(Clock::now() + 10ms))
            after.push_back(*event);
        return IsWindowEnabled(hwnd_) && !FindWindowW(L"#32770", L"Caixa dois");
    }, 5s));
    auto later = events_within(*window, 300ms);
    after.insert(after.end(), later.begin(), later.end());
    EXPECT_FALSE(contains<ev::ButtonPressed>(after)) << "the click behind the box came after it";

    window->message_box("Caixa três", "terceira", MessageIcon::Warning);
    ASSERT_NE(visible_box(L"Caixa três"), nullptr);
    window->destroy();
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
