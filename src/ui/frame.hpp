// The once-per-frame step of the UI thread: the animation clock, hover fades and sparks, the
// animated backdrop (drawn here during the intro, then by the background render worker), the
// composition of only what changed, the stage, and the list of changed device rectangles. Also
// the process-wide totals of the named render stages that the benchmark reports.
#pragma once

#include "ui/ui_state.hpp"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

namespace torvane {

// The named stages, in slot order.
enum class RenderStage : std::size_t {
    Background = 0, // the intro's synchronous backdrop
    Glass = 1,      // the frosted glass of a full composition
    Compose = 2,    // the scene from the composite and the panel layers
    Copy = 3,       // the whole scene into the frame
    Sparks = 4,
    Seal = 5, // never timed
    Runes = 6,
    Logo = 7,
    Countdown = 8,
    Pulse = 9, // never timed
};
inline constexpr std::size_t stage_slot_count = 12;
inline constexpr std::array<std::string_view, stage_slot_count> stage_names{
    "fundo", "vidro", "compor", "copia", "faiscas", "selo", "runa", "logo", "countdown", "pulso", "-", "-"};

// Nanosecond totals per slot, added to atomically; any thread may read them.
std::array<std::atomic<std::uint64_t>, stage_slot_count>& stage_times();
void reset_stage_times();

// Adds the time from its construction to its destruction to a stage's total.
class StageTimer {
public:
    explicit StageTimer(RenderStage stage) : stage_(stage), start_(std::chrono::steady_clock::now()) {}
    StageTimer(const StageTimer&) = delete;
    StageTimer& operator=(const StageTimer&) = delete;
    ~StageTimer();

private:
    RenderStage stage_;
    std::chrono::steady_clock::time_point start_;
};

// The backdrop of the intro is reused for this long before it is drawn again, and the worker is
// asked for a new one at most this often while the panels stay where they are.
inline constexpr float background_interval = 0.2f;
// From this intro time on the background render worker draws the backdrop.
inline constexpr float intro_seconds = 0.95f;
// The frame step is clamped to this many seconds.
inline constexpr float max_frame_step = 0.05f;

// Renders one frame of the main screen into frame_canvas and returns the rectangles that
// changed: one covering the whole canvas for a full frame, otherwise the redrawn panels followed
// by the stage area and the status-dot box. Sends backdrop jobs to the background worker (which
// it starts on the first frame after the intro) and never waits for it.
std::vector<DirtyRect> render_frame(UiState& state);

// Moves the animation forward by a finite, non-negative number of seconds and renders twice, so
// that the next frame shows the state that much later with settled countdown digits.
void advance_clock(UiState& state, float seconds);

// Reads the wall clock once and stops the animation clock at the time the state shows, and makes
// every later frame use that moment: a picture made of several renders then shows one instant,
// however long the building and the renders take and whether or not a second turns between them
// (the capture mode). advance_clock still moves the animation forward.
void freeze_clocks(UiState& state);

// Closes the job channel and waits until the background worker has finished its last job and
// let go of its result channel, so that it ends before the caller goes on (the off-screen modes
// end the process right after). The next main-screen frame past the intro starts a new worker.
void stop_background_worker(UiState& state);

// Waits until the background worker has finished the job in flight, if any, and keeps its backdrop
// for the next frame: the worker then stands still until that frame sends it another job.
void settle_background_worker(UiState& state);

// Moves the animation clock's start that much into the past; it stays when it cannot move.
void rewind_start_instant(UiState& state, std::chrono::steady_clock::duration by);

// The four frosted panels asked of the worker: top bar, news panel, information panel, bottom bar.
std::vector<PanelRect> worker_panel_list(const UiState& state);

// Moves each hover intensity towards 1 for the hovered element and 0 for the others by dt over
// 0.25 s (Play) or 0.2 s, dropping those that faded out, and marks the panels whose elements
// changed.
void update_hover_fades(UiState& state, float dt);

// The device rectangle of a logical one with a one-pixel margin, clipped to the canvas.
DirtyRect panel_dirty_rect(const UiState& state, float x, float y, float w, float h);
// The stage area (x 0..660, y 58..536) and the status-dot box in device pixels.
DirtyRect stage_area_rect(const UiState& state);
DirtyRect pulse_box_rect(const UiState& state);

} // namespace torvane
