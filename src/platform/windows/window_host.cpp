// The Win32 host of the launcher window: a WS_POPUP window of the class "PellamoorLauncherMain",
// its back buffer a DIB section (back_buffer.hpp), and a message loop that waits on a
// high-resolution waitable timer together with the message queue. The window procedure answers
// what Windows needs at once (painting, hit-testing, cursors) and turns everything else into
// WindowEvents: queued for wait_event, or handed to the UI's handler while a nested loop runs
// (the system's move and menu loops, MessageBoxW's loop) and for WM_DPICHANGED.
#include "platform/window_host.hpp"

#include "platform/owned_message_boxes.hpp"
#include "platform/windows/back_buffer.hpp"
#include "platform/windows/display_dpi.hpp"
#include "platform/windows/message_box_calls.hpp"
#include "platform/windows/window_support.hpp"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace torvane::platform {

namespace {

constexpr wchar_t window_class_name[] = L"PellamoorLauncherMain";
constexpr UINT wake_message = WM_APP + 1;
// The timer that brings FrameDue while a nested loop runs; above every id the UI arms. At the
// shortest period Windows allows, the UI presents whenever its own frame deadline has come.
constexpr UINT_PTR frame_due_timer = 0x10000;
// CreateWaitableTimerExW's flag for a timer with the system's finest resolution (Windows 10 1803
// and later; older systems refuse it and the loop takes a plain timer).
constexpr DWORD create_waitable_timer_high_resolution = 0x00000002;
constexpr DWORD wake_mask = QS_ALLINPUT | QS_ALLPOSTMESSAGE;

// The waker's link to the window: posts go to the window only while it lives, and one posted
// wake-up at a time is enough, since the UI drains the whole channel for it.
struct WakeTarget {
    std::mutex mutex;
    HWND window = nullptr;
    bool posted = false;
};

class Win32Window final : public Window, private BoxScreen {
public:
    static Result<std::unique_ptr<Win32Window>> create(const WindowOptions& options);
    ~Win32Window() override;

    PixelSurface surface() override;
    void update_rects(std::span<const PixelRect> rects) override;
    void show() override;
    void minimise() override;
    void destroy() override;
    bool destroyed() const override { return window_ == nullptr; }
    void set_title(std::string_view title) override;
    void set_cursor(Cursor cursor) override;
    void capture_pointer(PointerCapture capture) override;
    bool holds_capture() const override { return window_ && GetCapture() == window_; }
    void set_bounds(PixelRect bounds) override;
    void start_timer(std::int32_t id, std::chrono::milliseconds after) override;
    void stop_timer(std::int32_t id) override;
    void message_box(std::string_view caption, std::string_view text, MessageIcon icon) override;
    float scale() const override { return scale_; }
    std::optional<WindowEvent> wait_event(std::optional<std::chrono::steady_clock::time_point> deadline) override;
    std::function<void()> waker() override;

private:
    Win32Window() = default;
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    // An event for the UI: to the handler while a nested loop runs, else queued for wait_event.
    void report(WindowEvent event);
    // A loop that the UI's loop does not run begins or ends (they may nest).
    void enter_nested_loop();
    void leave_nested_loop();
    // Blocks until a message arrives or the deadline passes (none: until a message arrives).
    void wait_for_messages(std::optional<std::chrono::steady_clock::time_point> deadline);
    // A PointerLeft when the pointer is no longer over the window (after the capture ends).
    void report_leave_if_outside();
    // The boxes on this thread (BoxScreen): MessageBoxW's modal loop is a nested loop.
    std::optional<BoxEnd> show_box(const OwnedMessageBox& box) override;
    void close_open_box() override;

    HWND window_ = nullptr;
    BackBuffer buffer_;
    HANDLE frame_timer_ = nullptr;
    DragTest drag_test_;
    EventHandler handler_;
    Cursor cursor_ = Cursor::Arrow;
    float scale_ = 1;
    bool mouse_tracking_ = false;
    bool minimised_ = false;
    int nested_loops_ = 0;
    std::set<std::int32_t> armed_timers_;
    std::deque<WindowEvent> pending_;
    OwnedMessageBoxes boxes_ {*this};
    std::shared_ptr<WakeTarget> wake_ = std::make_shared<WakeTarget>();
};

HCURSOR system_cursor(Cursor cursor) { return LoadCursorW(nullptr, cursor == Cursor::Hand ? IDC_HAND : IDC_ARROW); }

HINSTANCE this_module() { return GetModuleHandleW(nullptr); }

// The class is registered once per process. Its icon is the executable's icon resource 1, the
// artwork's icon set at every size (WindowOptions::icons is for desktops that take pixels).
void register_window_class(WNDPROC procedure)
{
    static std::once_flag registered;
    std::call_once(registered, [procedure] {
        WNDCLASSEXW window_class {};
        window_class.cbSize = sizeof window_class;
        window_class.style = CS_DBLCLKS;
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = this_module();
        window_class.hIcon = LoadIconW(this_module(), MAKEINTRESOURCEW(1));
        window_class.hIconSm = window_class.hIcon;
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.lpszClassName = window_class_name;
        (void)RegisterClassExW(&window_class);
    });
}

// Pointer and key input, which the window does not take while its box is open.
bool is_input(UINT message)
{
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
        return true;
    default:
        return false;
    }
}

Result<std::unique_ptr<Win32Window>> Win32Window::create(const WindowOptions& options)
{
    register_window_class(&Win32Window::procedure);
    auto self = std::unique_ptr<Win32Window>(new Win32Window());
    self->drag_test_ = options.drag_test;
    self->handler_ = options.on_event;
    std::int32_t width = std::max(options.bounds.w, 1);
    std::int32_t height = std::max(options.bounds.h, 1);
    // The buffer exists before the window, so the first WM_PAINT already has something to copy.
    self->buffer_ = BackBuffer::create(width, height);
    HWND window = CreateWindowExW(WS_EX_APPWINDOW, window_class_name, to_wide(options.title).c_str(),
        WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, options.bounds.x, options.bounds.y, width, height, nullptr, nullptr,
        this_module(), self.get());
    if (!window) {
        DWORD error = GetLastError();
        self->window_ = nullptr; // WM_NCCREATE may have seen a window that creation then dropped
        return failure("Não foi possível criar a janela: " + os_error_text(static_cast<int>(error)));
    }
    // WM_NCCREATE stored the window already; the procedure may have run with it since.
    self->window_ = window;
    self->scale_ = static_cast<float>(window_dpi(window)) / base_dpi;
    {
        std::lock_guard lock(self->wake_->mutex);
        self->wake_->window = window;
    }
    // The finest timer the system has, else a plain one; without either the loop waits with
    // time-outs in whole milliseconds.
    self->frame_timer_ = CreateWaitableTimerExW(nullptr, nullptr, create_waitable_timer_high_resolution, TIMER_ALL_ACCESS);
    if (!self->frame_timer_)
        self->frame_timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    win32::set_launcher_window(window);
    return self;
}

Win32Window::~Win32Window()
{
    destroy();
    buffer_.release();
    if (frame_timer_)
        CloseHandle(frame_timer_);
}

LRESULT CALLBACK Win32Window::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wparam, lparam);
    return self->handle(message, wparam, lparam);
}

void Win32Window::report(WindowEvent event)
{
    if (handler_ && nested_loops_ > 0)
        handler_(*this, event);
    else
        pending_.push_back(std::move(event));
}

void Win32Window::enter_nested_loop()
{
    if (nested_loops_++ > 0 || !handler_ || !window_)
        return;
    SetTimer(window_, frame_due_timer, USER_TIMER_MINIMUM, nullptr);
    // What waits for wait_event goes now: the UI does not ask again until the loop has ended.
    while (!pending_.empty()) {
        WindowEvent next = std::move(pending_.front());
        pending_.pop_front();
        handler_(*this, next);
    }
}

void Win32Window::leave_nested_loop()
{
    if (--nested_loops_ > 0)
        return;
    if (window_)
        KillTimer(window_, frame_due_timer);
}

LRESULT Win32Window::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    using namespace window_event;
    // Behind its box the window takes no input (Windows disables it; this drops what was queued
    // before), and nothing acts on it later.
    if (boxes_.box_open() && is_input(message))
        return 0;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC target = BeginPaint(window_, &paint);
        if (target && buffer_.dc) {
            const RECT& area = paint.rcPaint;
            BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, buffer_.dc, area.left,
                area.top, SRCCOPY);
        }
        EndPaint(window_, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the back buffer covers the whole window
    case WM_NCHITTEST: {
        if (boxes_.box_open())
            return HTCLIENT; // not dragged from under its box
        POINT point {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        ScreenToClient(window_, &point);
        return drag_test_ && drag_test_(point.x, point.y) ? HTCAPTION : HTCLIENT;
    }
    case WM_SETCURSOR:
        if (LOWORD(lparam) != HTCLIENT)
            break;
        SetCursor(system_cursor(cursor_));
        return TRUE;
    case WM_MOUSEMOVE:
        if (!mouse_tracking_) {
            TRACKMOUSEEVENT track {sizeof track, TME_LEAVE, window_, 0};
            mouse_tracking_ = TrackMouseEvent(&track) != FALSE;
        }
        report(PointerMoved {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        report(ButtonPressed {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
    case WM_LBUTTONUP:
        report(ButtonReleased {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
    case WM_MOUSEWHEEL: {
        // Whole notches of 120; a finer wheel's smaller step still counts as one in its direction.
        int delta = GET_WHEEL_DELTA_WPARAM(wparam);
        int notches = delta / WHEEL_DELTA;
        if (notches == 0 && delta != 0)
            notches = delta > 0 ? 1 : -1;
        if (notches != 0)
            report(Wheel {notches});
        return 0;
    }
    case WM_MOUSELEAVE:
        mouse_tracking_ = false;
        if (GetCapture() != window_)
            report(PointerLeft {});
        return 0;
    case WM_KEYDOWN:
        if (wparam != VK_ESCAPE)
            break;
        report(EscapePressed {});
        return 0;
    case WM_TIMER: {
        if (wparam == frame_due_timer) {
            if (nested_loops_ > 0 && handler_)
                handler_(*this, FrameDue {});
            return 0;
        }
        auto id = static_cast<std::int32_t>(wparam);
        // One-shot: a timer that was stopped meanwhile never reports.
        KillTimer(window_, wparam);
        if (armed_timers_.erase(id))
            report(TimerFired {id});
        return 0;
    }
    case WM_SIZE:
        if (wparam == SIZE_MINIMIZED && !minimised_) {
            minimised_ = true;
            report(Minimised {});
        } else if ((wparam == SIZE_RESTORED || wparam == SIZE_MAXIMIZED) && minimised_) {
            minimised_ = false;
            report(Restored {});
        }
        return 0;
    case WM_CLOSE:
        // The UI decides; it destroys the window itself.
        report(CloseRequested {});
        return 0;
    case WM_ENTERSIZEMOVE: // the system's move loop, while the player drags the window
    case WM_ENTERMENULOOP: // the system menu's loop
        enter_nested_loop();
        break;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
        leave_nested_loop();
        break;
    case WM_DPICHANGED: {
        // Answered inside the message: the UI sizes the window for the new scale at the suggested
        // corner before it returns, so that a window dragged onto another monitor takes its size
        // there at once.
        scale_ = static_cast<float>(HIWORD(wparam)) / base_dpi;
        const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
        ScaleChanged change {scale_, suggested->left, suggested->top};
        if (handler_)
            handler_(*this, change);
        else
            pending_.push_back(change);
        return 0;
    }
    case wake_message: {
        {
            std::lock_guard lock(wake_->mutex);
            wake_->posted = false;
        }
        report(WorkersWoke {});
        return 0;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}

PixelSurface Win32Window::surface()
{
    if (!window_ || !buffer_.pixels)
        return {};
    return {buffer_.pixels, buffer_.width, buffer_.height, buffer_.width * 4};
}

void Win32Window::update_rects(std::span<const PixelRect> rects)
{
    if (!window_ || !buffer_.dc || rects.empty())
        return;
    HDC target = GetDC(window_);
    if (!target)
        return;
    for (const PixelRect& rect : rects)
        BitBlt(target, rect.x, rect.y, rect.w, rect.h, buffer_.dc, rect.x, rect.y, SRCCOPY);
    ReleaseDC(window_, target);
    GdiFlush(); // the frame is on its way to the screen when the call returns
}

void Win32Window::show()
{
    if (!window_)
        return;
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_); // its WM_PAINT copies the back buffer to the window
    SetForegroundWindow(window_);
}

void Win32Window::minimise()
{
    if (window_)
        ShowWindow(window_, SW_MINIMIZE);
}

void Win32Window::destroy()
{
    {
        std::lock_guard lock(wake_->mutex);
        wake_->window = nullptr;
    }
    if (!window_)
        return;
    boxes_.close_all();
    if (GetCapture() == window_)
        ReleaseCapture();
    for (std::int32_t id : armed_timers_)
        KillTimer(window_, static_cast<UINT_PTR>(id));
    KillTimer(window_, frame_due_timer);
    if (win32::launcher_window() == window_)
        win32::set_launcher_window(nullptr);
    HWND window = std::exchange(window_, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    armed_timers_.clear();
    pending_.clear();
}

void Win32Window::set_title(std::string_view title)
{
    if (window_)
        SetWindowTextW(window_, to_wide(title).c_str());
}

void Win32Window::set_cursor(Cursor cursor)
{
    if (cursor == cursor_)
        return;
    cursor_ = cursor;
    // While the pointer is over the window the new shape shows at once; elsewhere WM_SETCURSOR
    // sets it when the pointer comes back.
    if (window_ && (mouse_tracking_ || holds_capture()))
        SetCursor(system_cursor(cursor));
}

void Win32Window::capture_pointer(PointerCapture capture)
{
    if (!window_)
        return;
    if (capture == PointerCapture::Hold) {
        SetCapture(window_);
        return;
    }
    if (GetCapture() != window_)
        return;
    ReleaseCapture();
    report_leave_if_outside();
}

void Win32Window::report_leave_if_outside()
{
    POINT point;
    if (!GetCursorPos(&point) || WindowFromPoint(point) == window_)
        return;
    mouse_tracking_ = false;
    report(window_event::PointerLeft {});
}

void Win32Window::set_bounds(PixelRect bounds)
{
    if (!window_)
        return;
    std::int32_t width = std::max(bounds.w, 1);
    std::int32_t height = std::max(bounds.h, 1);
    if (width != buffer_.width || height != buffer_.height) {
        // The old picture stays in the corner it fits until the UI draws the new size.
        BackBuffer resized = BackBuffer::create(width, height);
        if (resized.dc && buffer_.dc)
            BitBlt(resized.dc, 0, 0, std::min(width, buffer_.width), std::min(height, buffer_.height), buffer_.dc, 0, 0,
                SRCCOPY);
        buffer_.release();
        buffer_ = resized;
    }
    SetWindowPos(window_, nullptr, bounds.x, bounds.y, width, height, SWP_NOACTIVATE | SWP_NOZORDER);
    InvalidateRect(window_, nullptr, FALSE);
}

void Win32Window::start_timer(std::int32_t id, std::chrono::milliseconds after)
{
    if (!window_)
        return;
    auto milliseconds = std::clamp<long long>(after.count(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    if (SetTimer(window_, static_cast<UINT_PTR>(id), static_cast<UINT>(milliseconds), nullptr))
        armed_timers_.insert(id);
}

void Win32Window::stop_timer(std::int32_t id)
{
    if (window_)
        KillTimer(window_, static_cast<UINT_PTR>(id));
    armed_timers_.erase(id);
    std::erase_if(pending_, [id](const WindowEvent& event) {
        auto* fired = std::get_if<window_event::TimerFired>(&event);
        return fired && fired->id == id;
    });
}

void Win32Window::message_box(std::string_view caption, std::string_view text, MessageIcon icon)
{
    if (!window_) {
        show_orphan_message_box(caption, text, icon);
        return;
    }
    boxes_.ask({std::string(caption), std::string(text), icon});
}

std::optional<BoxEnd> Win32Window::show_box(const OwnedMessageBox& box)
{
    // On the UI thread, so that Windows gives the activation back to the window when the box
    // closes (a box on a thread of its own leaves the front to whichever program is next). The
    // box's modal loop dispatches this thread's messages: worker wake-ups, timers and paints reach
    // the window meanwhile, and their events go to the handler.
    enter_nested_loop();
    BoxEnd end = message_box_on_this_thread(window_, box);
    leave_nested_loop();
    return end;
}

void Win32Window::close_open_box() { end_message_boxes_owned_by(window_); }

void Win32Window::wait_for_messages(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    if (!deadline) {
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, wake_mask, MWMO_INPUTAVAILABLE);
        return;
    }
    auto remaining = std::max(*deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero());
    if (frame_timer_) {
        // A relative due time in 100-ns units, at least one.
        auto ticks = std::chrono::duration_cast<std::chrono::duration<long long, std::ratio<1, 10'000'000>>>(remaining).count();
        LARGE_INTEGER due;
        due.QuadPart = -std::max<long long>(ticks, 1);
        if (SetWaitableTimer(frame_timer_, &due, 0, nullptr, nullptr, FALSE)) {
            MsgWaitForMultipleObjectsEx(1, &frame_timer_, INFINITE, wake_mask, MWMO_INPUTAVAILABLE);
            return;
        }
    }
    // Whole milliseconds, rounded up, so the wait never ends before the time it waits for.
    auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::clamp<long long>(milliseconds, 0, INFINITE - 1)),
        wake_mask, MWMO_INPUTAVAILABLE);
}

std::optional<WindowEvent> Win32Window::wait_event(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    while (window_) {
        if (!pending_.empty()) {
            WindowEvent next = pending_.front();
            pending_.pop_front();
            return next;
        }
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Someone asked the thread to end (a session ending): the UI closes as on WM_CLOSE.
                pending_.push_back(window_event::CloseRequested {});
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
            continue;
        }
        if (deadline && std::chrono::steady_clock::now() >= *deadline)
            return std::nullopt;
        wait_for_messages(deadline);
    }
    return std::nullopt;
}

std::function<void()> Win32Window::waker()
{
    return [target = wake_]() {
        std::lock_guard lock(target->mutex);
        if (!target->window || target->posted)
            return;
        target->posted = PostMessageW(target->window, wake_message, 0, 0) != FALSE;
    };
}

} // namespace

Result<std::unique_ptr<Window>> create_window(const WindowOptions& options)
{
    auto created = Win32Window::create(options);
    if (!created)
        return failure(std::move(created).error());
    return std::unique_ptr<Window>(std::move(*created));
}

} // namespace torvane::platform
