// The launcher's one window, in the launcher's own terms: a borderless window of a size and title
// whose pixel surface the UI presents rectangles into, a small set of events it delivers on the UI
// thread and a small set of operations the UI calls. The Linux host is SDL2 (Xlib for Xft.dpi),
// the Windows host Win32; no system type appears here, so the window procedure above it is plain
// code that a test can drive with a recording Window.
//
// How events reach the UI. The UI's loop asks for them: wait_event. Inside a loop that the UI's
// loop does not run (a modal loop of the host or of the system, nested in a call the UI made),
// nobody asks: there the host hands each event at once to the handler of WindowOptions, on the UI
// thread, and adds a FrameDue about every frame period, so that worker events, timers and frames
// go on. The UI must not keep its state lent across the calls that may run such a loop
// (message_box, wait_event), so that the handler finds it free. A scale change that the system wants answered before
// its notification returns goes to the handler too, wherever it arrives: the window has its new
// size and surface when the handler returns.
//   Windows only: the nested loops are MessageBoxW's (inside message_box) and the system's move
//   and menu loops (inside wait_event while the player drags the window or opens its system menu);
//   the scale change is WM_DPICHANGED, which goes to the handler always.
//   Linux only: no nested loop exists (a box runs in a process of its own, the window manager
//   moves the window) and the scale change is noticed in wait_event, which returns it: the handler
//   is never called.
// Without a handler every event waits for wait_event.
#pragma once

#include "platform/message_box.hpp"
#include "platform/result.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace torvane::platform {

// The X11 class of the launcher window (WM_CLASS); a second instance finds the first by it.
inline constexpr char launcher_window_class[] = "PellamoorLauncherMain";

// A rectangle in device pixels.
struct PixelRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t w = 0;
    std::int32_t h = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

namespace window_event {
// Positions are client-area device pixels.
struct PointerMoved {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
struct ButtonPressed { // the left button; a double press is a press too
    std::int32_t x = 0;
    std::int32_t y = 0;
};
struct ButtonReleased {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
struct Wheel {
    std::int32_t delta = 0; // in notches; positive: away from the user (scroll up)
};
struct EscapePressed {};
struct PointerLeft {}; // delivered only while the window does not hold the pointer capture
struct Minimised {};
struct Restored {};
// The window reached a display of another DPI: the new scale (DPI / 96) and the top-left corner
// where the window goes (Windows: that of the rectangle the system suggests; Linux: the window's
// own). The host does not resize the window: the UI sets its bounds for the new scale.
struct ScaleChanged {
    float scale = 1;
    std::int32_t left = 0;
    std::int32_t top = 0;
};
struct Exposed {}; // the window's contents were lost: present the whole surface again
struct CloseRequested {};
struct TimerFired {
    std::int32_t id = 0;
};
struct WorkersWoke {}; // a worker sent on the UI channel
// Only to the handler, inside a nested loop, about every frame period: a frame may be due.
struct FrameDue {};
} // namespace window_event

using WindowEvent = std::variant<window_event::PointerMoved, window_event::ButtonPressed,
    window_event::ButtonReleased, window_event::Wheel, window_event::EscapePressed, window_event::PointerLeft,
    window_event::Minimised, window_event::Restored, window_event::ScaleChanged, window_event::Exposed,
    window_event::CloseRequested, window_event::TimerFired, window_event::WorkersWoke, window_event::FrameDue>;

enum class Cursor { Arrow, Hand };
// Hold: the window takes the pointer's moves and release also outside itself (while the button
// is down); Release: it lets the pointer go.
enum class PointerCapture { Hold, Release };

// The window's pixel surface: 32-bit words 0xXXRRGGBB, rows of `pitch` bytes. Valid until the next
// call that changes the window's size.
struct PixelSurface {
    std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t pitch = 0; // bytes per row
};

// What the host asks the UI while it handles the pointer: whether a client point (device pixels)
// drags the window. Called on the UI thread, possibly from inside wait_event.
using DragTest = std::function<bool(std::int32_t x, std::int32_t y)>;

class Window;
// Takes the events of nested loops and scale changes (see the top of this file), synchronously on
// the UI thread. It may call the window's operations, but not wait_event.
using EventHandler = std::function<void(Window& window, const WindowEvent& event)>;

// The operations the UI performs on its window. All are called on the UI thread only, except the
// wake-up callable, which any thread may call at any time (also after the window is gone).
class Window {
public:
    virtual ~Window() = default;

    // The surface to copy frames into, and the hand-over of changed rectangles to the screen.
    virtual PixelSurface surface() = 0;
    virtual void update_rects(std::span<const PixelRect> rects) = 0;

    virtual void show() = 0; // maps the window and asks for the input focus
    virtual void minimise() = 0;
    virtual void destroy() = 0; // the window goes away; a CloseRequested is not delivered for it
    virtual bool destroyed() const = 0;
    virtual void set_title(std::string_view title) = 0;
    virtual void set_cursor(Cursor cursor) = 0;
    virtual void capture_pointer(PointerCapture capture) = 0;
    virtual bool holds_capture() const = 0;
    // Moves and resizes the window (device pixels); the surface follows the new size.
    virtual void set_bounds(PixelRect bounds) = 0;
    // A one-shot timer delivering TimerFired{id} on the UI thread; arming an armed id restarts it,
    // a stopped id never fires afterwards.
    virtual void start_timer(std::int32_t id, std::chrono::milliseconds after) = 0;
    virtual void stop_timer(std::int32_t id) = 0;
    // Shows a box owned by the window. While it is open the window takes no pointer or key input
    // (what arrives is dropped, never delivered later) and cannot be dragged; it goes on painting,
    // its timers fire and the waker wakes it. A box asked for while one is open follows when that
    // one is closed, never two at once; destroying the window closes its box. With no display the
    // text goes to standard error.
    //   Windows only: MessageBoxW on this thread, which disables the window and gives it the
    //   activation back when the box closes; returns once the box (and any asked for meanwhile, from
    //   the handler) has closed; meanwhile the events go to the handler.
    //   Linux only: returns at once, the box open in a process of its own; it shows its whole text
    //   whatever the session's locale.
    virtual void message_box(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
    // The window's scale: the DPI of the display it is on / 96.
    virtual float scale() const = 0;

    // The next event: at once when one is queued, else waits until one arrives or the deadline
    // passes (none: wait without end). Returns none when the deadline passed without an event.
    // Events of a nested loop that runs inside it go to the handler instead.
    virtual std::optional<WindowEvent> wait_event(std::optional<std::chrono::steady_clock::time_point> deadline) = 0;

    // A callable that queues WorkersWoke; safe from any thread, and a no-op once the window is gone.
    virtual std::function<void()> waker() = 0;
};

// One size of the window icon: straight (not premultiplied) 0xAARRGGBB words, rows packed.
struct WindowIcon {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels; // width x height words
};

struct WindowOptions {
    std::string title;
    PixelRect bounds;   // position and size in device pixels
    DragTest drag_test; // empty: never drags
    std::vector<WindowIcon> icons; // the icon at each size the desktop may draw it; empty: none
    EventHandler on_event;         // empty: every event waits for wait_event
};

// The display the launcher runs on, before a window exists.
struct DisplayInfo {
    float system_scale = 1;  // Xft.dpi / 96 when the server has it, else the display's DPI / 96
    PixelRect usable_bounds; // the work area of the primary display
};

// Connects to the display; fails with a Portuguese message when there is none.
Result<DisplayInfo> open_display();

// Creates the window, hidden, at the bounds given. Fails with a Portuguese message.
Result<std::unique_ptr<Window>> create_window(const WindowOptions& options);

// A message box without a window (before one exists or when none can be made); with no display
// the text goes to standard error.
void show_orphan_message_box(std::string_view caption, std::string_view text, MessageIcon icon);

} // namespace torvane::platform
