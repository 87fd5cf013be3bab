// The window procedure: window events become changes of the UI state and queued window actions,
// which run once the state is let go. Also the presentation of frames into the window's surface.
// Everything here runs on the UI thread and is driven by tests with a recording Window.
#pragma once

#include "platform/window_host.hpp"
#include "ui/app_state.hpp"
#include "ui/frame.hpp"
#include "ui/ui_action.hpp"

#include <optional>
#include <span>
#include <vector>

namespace torvane {

// The UI thread's single owner of the application state. The state is lent out for short spans;
// an event that arrives while it is lent (from inside a nested loop) finds it busy.
struct WindowContext {
    std::optional<AppState> state;
    bool borrowed = false;
    HitRegion pressed; // the element under the button-down; id 0 none
    bool mouse_tracking = false;
    bool minimised = false;
    bool can_present = false;
    bool quit = false; // the window is gone: the loop ends
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

// Handles one event, then runs the queued window actions.
void window_proc(WindowContext& context, platform::Window& window, const platform::WindowEvent& event);

// Runs the queued actions in order, also those queued while they run. Close and RestartLauncher
// drop what follows them.
void run_window_actions(WindowContext& context, platform::Window& window);

// Renders a frame and copies its changed rectangles to the window.
void present_frame(WindowContext& context, platform::Window& window);

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
