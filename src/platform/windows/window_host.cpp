// The Win32 host of the launcher window: a WS_POPUP window of the class "PellamoorLauncherMain",
// a 32-bit top-down DIB section as its back buffer (copied to the window with BitBlt), and a
// message loop that waits on a high-resolution waitable timer together with the message queue.
// The window procedure answers what Windows needs at once (painting, hit-testing, cursors) and
// turns everything else into WindowEvents that wait_event hands to the UI.
#include "platform/window_host.hpp"

#include "platform/message_box_text.hpp"
#include "platform/windows/window_support.hpp"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

namespace torvane::platform {

namespace {

using win32::wide;

constexpr wchar_t window_class_name[] = L"PellamoorLauncherMain";
constexpr UINT wake_message = WM_APP + 1;
// Posted by a box's thread to its window when the box has closed.
constexpr UINT box_closed_message = WM_APP + 2;
constexpr float base_dpi = 96;
// CreateWaitableTimerExW's flag for a timer with the system's finest resolution (Windows 10 1803
// and later; older systems refuse it and the loop takes a plain timer).
constexpr DWORD create_waitable_timer_high_resolution = 0x00000002;
constexpr DWORD wake_mask = QS_ALLINPUT | QS_ALLPOSTMESSAGE;

// The per-monitor DPI calls exist from Windows 10 1607 on; looked up at run time so that the
// launcher still starts (at the device context's DPI) where they are missing.
struct DpiCalls {
    UINT(WINAPI* for_system)() = nullptr;
    UINT(WINAPI* for_window)(HWND) = nullptr;
};

template <class Function>
Function user32_call(const char* name)
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    FARPROC found = user32 ? GetProcAddress(user32, name) : nullptr;
    // Through the generic function pointer type, which any function pointer converts to and from.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

const DpiCalls& dpi_calls()
{
    static const DpiCalls calls {
        user32_call<UINT(WINAPI*)()>("GetDpiForSystem"),
        user32_call<UINT(WINAPI*)(HWND)>("GetDpiForWindow"),
    };
    return calls;
}

UINT device_context_dpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

UINT system_dpi()
{
    UINT dpi = dpi_calls().for_system ? dpi_calls().for_system() : 0;
    return dpi ? dpi : device_context_dpi();
}

UINT window_dpi(HWND window)
{
    UINT dpi = dpi_calls().for_window && window ? dpi_calls().for_window(window) : 0;
    return dpi ? dpi : system_dpi();
}

UINT message_box_type(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return MB_OK | MB_ICONINFORMATION;
    case MessageIcon::Warning:
        return MB_OK | MB_ICONWARNING;
    case MessageIcon::Error:
        break;
    }
    return MB_OK | MB_ICONERROR;
}

// MessageBoxW answers the button pressed; a box that could not be shown gives 0 (Wine without a
// display gives -1).
bool box_shown(int answer) { return answer > 0; }

// The back buffer: a DIB section selected into a memory DC compatible with the screen. Its pixels
// are the frame's 0xXXRRGGBB words, rows top-down and packed.
struct BackBuffer {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;

    static BackBuffer create(std::int32_t width, std::int32_t height)
    {
        BackBuffer buffer;
        buffer.width = std::max(width, 1);
        buffer.height = std::max(height, 1);
        HDC screen = GetDC(nullptr);
        buffer.dc = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        BITMAPINFO info {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = buffer.width;
        info.bmiHeader.biHeight = -buffer.height; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        buffer.bitmap = CreateDIBSection(buffer.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (buffer.dc && buffer.bitmap) {
            buffer.previous = SelectObject(buffer.dc, buffer.bitmap);
            buffer.pixels = static_cast<std::uint32_t*>(bits);
        }
        return buffer;
    }

    void release()
    {
        if (dc && previous)
            SelectObject(dc, previous);
        if (bitmap)
            DeleteObject(bitmap);
        if (dc)
            DeleteDC(dc);
        *this = {};
    }
};

// A box the window owns, waiting or shown. MessageBoxW runs on a thread of its own, so that the
// UI thread's loop goes on meanwhile (frames, timers, worker events); the box's modal loop belongs
// to that thread.
struct QueuedBox {
    std::wstring caption;
    std::wstring text;
    UINT type = 0;
};

struct OpenBox {
    std::thread thread;
    std::atomic<DWORD> thread_id {0};
    std::atomic<bool> done {false};
    std::atomic<bool> closing {false};
};

// The waker's link to the window: posts go to the window only while it lives, and one posted
// wake-up at a time is enough, since the UI drains the whole channel for it.
struct WakeTarget {
    std::mutex mutex;
    HWND window = nullptr;
    bool posted = false;
};

class Win32Window final : public Window {
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
    // Blocks until a message arrives or the deadline passes (none: until a message arrives).
    void wait_for_messages(std::optional<std::chrono::steady_clock::time_point> deadline);
    // A PointerLeft when the pointer is no longer over the window (after the capture ends).
    void report_leave_if_outside();
    // Shows the next waiting box when none is open; the window is enabled again after the last.
    void open_next_box();
    // The open box has closed: its thread is joined and the next one shows.
    void box_closed();
    // Closes the open box (and drops the waiting ones) and waits until its thread has ended.
    void close_boxes();

    HWND window_ = nullptr;
    BackBuffer buffer_;
    HANDLE frame_timer_ = nullptr;
    DragTest drag_test_;
    Cursor cursor_ = Cursor::Arrow;
    float scale_ = 1;
    bool mouse_tracking_ = false;
    bool minimised_ = false;
    std::set<std::int32_t> armed_timers_;
    std::deque<WindowEvent> pending_;
    std::deque<QueuedBox> boxes_waiting_;
    std::unique_ptr<OpenBox> box_;
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

Result<std::unique_ptr<Win32Window>> Win32Window::create(const WindowOptions& options)
{
    register_window_class(&Win32Window::procedure);
    auto self = std::unique_ptr<Win32Window>(new Win32Window());
    self->drag_test_ = options.drag_test;
    std::int32_t width = std::max(options.bounds.w, 1);
    std::int32_t height = std::max(options.bounds.h, 1);
    // The buffer exists before the window, so the first WM_PAINT already has something to copy.
    self->buffer_ = BackBuffer::create(width, height);
    HWND window = CreateWindowExW(WS_EX_APPWINDOW, window_class_name, wide(options.title).c_str(),
        WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, options.bounds.x, options.bounds.y, width, height, nullptr, nullptr,
        this_module(), self.get());
    if (!window) {
        DWORD error = GetLastError();
        self->window_ = nullptr; // WM_NCCREATE may have seen a window that creation then dropped
        return failure("Não foi possível criar a janela: " + win32::error_text(error));
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

LRESULT Win32Window::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    using namespace window_event;
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
        pending_.push_back(PointerMoved {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        pending_.push_back(ButtonPressed {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
    case WM_LBUTTONUP:
        pending_.push_back(ButtonReleased {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
    case WM_MOUSEWHEEL: {
        // Whole notches of 120; a finer wheel's smaller step still counts as one in its direction.
        int delta = GET_WHEEL_DELTA_WPARAM(wparam);
        int notches = delta / WHEEL_DELTA;
        if (notches == 0 && delta != 0)
            notches = delta > 0 ? 1 : -1;
        if (notches != 0)
            pending_.push_back(Wheel {notches});
        return 0;
    }
    case WM_MOUSELEAVE:
        mouse_tracking_ = false;
        if (GetCapture() != window_)
            pending_.push_back(PointerLeft {});
        return 0;
    case WM_KEYDOWN:
        if (wparam != VK_ESCAPE)
            break;
        pending_.push_back(EscapePressed {});
        return 0;
    case WM_TIMER: {
        auto id = static_cast<std::int32_t>(wparam);
        // One-shot: a timer that was stopped meanwhile never reports.
        KillTimer(window_, wparam);
        if (armed_timers_.erase(id))
            pending_.push_back(TimerFired {id});
        return 0;
    }
    case WM_SIZE:
        if (wparam == SIZE_MINIMIZED && !minimised_) {
            minimised_ = true;
            pending_.push_back(Minimised {});
        } else if ((wparam == SIZE_RESTORED || wparam == SIZE_MAXIMIZED) && minimised_) {
            minimised_ = false;
            pending_.push_back(Restored {});
        }
        return 0;
    case WM_CLOSE:
        // The UI decides; it destroys the window itself.
        pending_.push_back(CloseRequested {});
        return 0;
    case WM_DPICHANGED: {
        // The UI sizes the window for the new scale and places it at the suggested corner.
        scale_ = static_cast<float>(HIWORD(wparam)) / base_dpi;
        const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
        pending_.push_back(ScaleChanged {scale_, suggested->left, suggested->top});
        return 0;
    }
    case wake_message: {
        {
            std::lock_guard lock(wake_->mutex);
            wake_->posted = false;
        }
        pending_.push_back(WorkersWoke {});
        return 0;
    }
    case box_closed_message:
        box_closed();
        return 0;
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
    close_boxes();
    if (GetCapture() == window_)
        ReleaseCapture();
    for (std::int32_t id : armed_timers_)
        KillTimer(window_, static_cast<UINT_PTR>(id));
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
        SetWindowTextW(window_, wide(title).c_str());
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
    pending_.push_back(window_event::PointerLeft {});
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
    boxes_waiting_.push_back(QueuedBox {wide(caption), wide(text), message_box_type(icon)});
    open_next_box();
}

void Win32Window::open_next_box()
{
    if (box_ || !window_)
        return;
    if (boxes_waiting_.empty()) {
        EnableWindow(window_, TRUE);
        return;
    }
    QueuedBox next = std::move(boxes_waiting_.front());
    boxes_waiting_.pop_front();
    // Disabled here, before the call returns, so no input slips in before the box shows; the box
    // finds its owner disabled and leaves enabling it to the window (after the last box).
    EnableWindow(window_, FALSE);
    auto box = std::make_unique<OpenBox>();
    OpenBox* open = box.get();
    HWND owner = window_;
    try {
        box->thread = std::thread([open, owner, next = std::move(next)] {
            open->thread_id = GetCurrentThreadId();
            if (!box_shown(MessageBoxW(owner, next.text.c_str(), next.caption.c_str(), next.type)) && !open->closing)
                print_window_message_box_text(win32::narrow(next.caption), win32::narrow(next.text));
            open->done = true;
            PostMessageW(owner, box_closed_message, 0, 0);
        });
    } catch (const std::system_error&) {
        // Without a thread the box is shown on this one: the UI waits until it is closed.
        if (!box_shown(MessageBoxW(owner, next.text.c_str(), next.caption.c_str(), next.type)))
            print_window_message_box_text(win32::narrow(next.caption), win32::narrow(next.text));
        EnableWindow(owner, TRUE);
        open_next_box();
        return;
    }
    box_ = std::move(box);
}

void Win32Window::box_closed()
{
    if (!box_ || !box_->done)
        return;
    box_->thread.join();
    box_.reset();
    open_next_box();
}

BOOL CALLBACK close_box_window(HWND window, LPARAM)
{
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void Win32Window::close_boxes()
{
    boxes_waiting_.clear();
    if (!box_)
        return;
    box_->closing = true;
    boxes_waiting_.clear();
    // The box may not exist yet: its thread's windows are asked to close until the thread is done.
    // Messages keep flowing meanwhile, as the box's thread may be sending to this window.
    while (box_ && !box_->done) {
        if (DWORD id = box_->thread_id)
            EnumThreadWindows(id, close_box_window, 0);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, wake_mask, MWMO_INPUTAVAILABLE);
    }
    // Its closing message may have been handled above already.
    if (box_) {
        box_->thread.join();
        box_.reset();
    }
}

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

RECT work_area()
{
    RECT area {};
    (void)SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

} // namespace

Result<DisplayInfo> open_display()
{
    DisplayInfo info;
    info.system_scale = static_cast<float>(system_dpi()) / base_dpi;
    RECT area = work_area();
    info.usable_bounds = {area.left, area.top, area.right - area.left, area.bottom - area.top};
    return info;
}

Result<std::unique_ptr<Window>> create_window(const WindowOptions& options)
{
    auto created = Win32Window::create(options);
    if (!created)
        return failure(std::move(created).error());
    return std::unique_ptr<Window>(std::move(*created));
}

void show_orphan_message_box(std::string_view caption, std::string_view text, MessageIcon icon)
{
    if (!box_shown(MessageBoxW(nullptr, wide(text).c_str(), wide(caption).c_str(), message_box_type(icon))))
        print_window_message_box_text(caption, text);
}

} // namespace torvane::platform
