// The window procedure: window events become changes of the UI state and queued window actions,
// which run once the state is let go. Also the presentation of frames into the window's surface.
// Everything here runs on the UI thread and is driven by tests with a recording Window.
#pragma once

#include "platform/window_host.hpp"
#include "ui/app_state.hpp"
#include "ui/frame.hpp"
#include "ui/ui_action.hpp"

#include <chrono>
#include <optional>
#include <span>
#include <vector>

namespace torvane {

// Frames are rendered on a fixed 60 Hz grid.
inline constexpr std::chrono::nanoseconds frame_period{16'667'000};

// The UI thread's single owner of the application state. The state is lent out for short spans
// and never across a call into the window that may run a nested loop (message_box, wait_event):
// the events of that loop reach window_proc from the window's handler and find the state free. An
// event that does arrive while it is lent finds it busy.
struct WindowContext {
    std::optional<AppState> state;
    bool borrowed = false;
    HitRegion pressed; // the element under the button-down; id 0 none
    bool mouse_tracking = false;
    bool minimised = false;
    bool can_present = false;
    bool quit = false;             // the window is gone: the loop ends
    bool running_actions = false;  // run_window_actions is running (its message box may be open)
    std::chrono::steady_clock::time_point frame_deadline; // when the next frame is due
};

// A loan of the state: null when it is lent already or absent.
class StateBorrow {
public:
    explicit StateBorrow(WindowContext& context);
    ~StateBorrow();
    StateBorrow(const StateBorrow&) = delete;
    StateBorrow& operator=(const StateBorrow&) = delete;
    explicit operator bool() const { return state_ != nullptr; }
    AppState* operator->() const { return state_; }
    AppState& operator*() const { return *state_; }

private:
    WindowContext& context_;
    AppState* state_ = nullptr;
};

// The window's side in device pixels for a side in logical units: ceil(units x scale), saturating
// to the 32-bit range (NaN gives 0).
std::int32_t window_pixels(float units, float scale);

// Handles one event, then runs the queued window actions. Also the window's event handler, for
// the events of nested loops.
void window_proc(WindowContext& context, platform::Window& window, const platform::WindowEvent& event);

// Runs the queued actions in order, also those queued while they run. Close and RestartLauncher
// drop what follows them, and nothing runs once the window is gone. A call made while the actions
// run (from inside a message box's modal loop) leaves the queue to the running call, which takes
// it after the box: boxes show one after the other.
void run_window_actions(WindowContext& context, platform::Window& window);

// Renders a frame and copies its changed rectangles to the window.
void present_frame(WindowContext& context, platform::Window& window);

// The deadline after a frame rendered at `now`: one period after the previous deadline, or one
// period after `now` when that is already past (late frames are never made up in a burst).
std::chrono::steady_clock::time_point next_frame_deadline(std::chrono::steady_clock::time_point deadline,
    std::chrono::steady_clock::time_point now);

// Whether the window renders frames now: not while minimised; always on the main screen (it
// animates); with the settings dialog only while it changes or animates.
bool wants_frame(WindowContext& context);

// Presents a frame when one is due at `now` (the window wants frames and the deadline has come)
// and moves the deadline on; a window that wants none has its next frame due at once.
void present_due_frame(WindowContext& context, platform::Window& window, std::chrono::steady_clock::time_point now);

// Destroys the window: the stop flag is set and the loop ends.
void destroy_window(WindowContext& context, platform::Window& window);

// Copies the rectangles of the frame into the surface, each clamped to the area both have, every
// word with its top byte forced to 0xFF; returns the rectangles as clamped to the surface.
std::vector<platform::PixelRect> copy_frame_rects(const Pixmap& frame, const platform::PixelSurface& surface,
    std::span<const DirtyRect> rects);

// Whether a logical point drags the window: the main screen's title band, except over the link
// row, the badge and the window buttons. Never with the settings dialog open.
bool is_caption(const UiState& ui, float x, float y);

// The pointer's shape over the hovered element.
platform::Cursor cursor_for(const UiState& ui);

// The front-to-back hit of the main screen's list; id 0 when nothing is hit.
HitRegion main_hit_test(const UiState& ui, float x, float y);

// The main screen's reaction to a release over the element that was pressed.
std::optional<UiAction> main_release_action(AppState& app, const HitRegion& pressed, const HitRegion& released);

// Handles one worker message.
void handle_worker_message(AppState& app, platform::Window& window, UiMessage message);

} // namespace torvane
