// Cost of the settings dialog on the UI thread: opening it (the frame snapshot, its half-size blur
// and the darkened backdrop), a dialog frame drawn after a change, and a frame of the still dialog,
// which draws nothing. At 1 and 2 times the window scale.
#include "support/temp_dir.hpp"
#include "ui/frame.hpp"
#include "ui/settings_dialog.hpp"
#include "ui/settings_overlay.hpp"

#include <benchmark/benchmark.h>

namespace torvane {
namespace {

// A main screen past its intro, the worker stopped so that it takes no time from the measure.
struct Screen {
    test::TempDir base;
    UiState ui;
    explicit Screen(float scale) : ui(build_ui_state(scale, base.path()))
    {
        advance_clock(ui, 3);
        stop_background_worker(ui);
    }
    ~Screen() { drop_ui_state(ui); }
};

float scale_of(const benchmark::State& state) { return static_cast<float>(state.range(0)); }

void open_dialog(benchmark::State& state)
{
    Screen screen(scale_of(state));
    for (auto _ : state) {
        open_settings_overlay(screen.ui, capture_settings_model());
        benchmark::DoNotOptimize(screen.ui.settings.blurred_snapshot);
    }
}
BENCHMARK(open_dialog)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void changed_dialog_frame(benchmark::State& state)
{
    Screen screen(scale_of(state));
    open_settings_overlay(screen.ui, capture_settings_model());
    screen.ui.clock = screen.ui.settings.opened_at + 1;
    for (auto _ : state) {
        mark_settings_dirty(screen.ui);
        benchmark::DoNotOptimize(render_settings_frame(screen.ui));
    }
}
BENCHMARK(changed_dialog_frame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// What the frame loop pays per turn when it does render a still dialog: the clock step and the
// idle rule. The loop itself renders nothing while settings_dialog_animating is false.
void still_dialog_frame(benchmark::State& state)
{
    Screen screen(scale_of(state));
    open_settings_overlay(screen.ui, capture_settings_model());
    rewind_start_instant(screen.ui, std::chrono::seconds(1));
    render_frame(screen.ui);
    for (auto _ : state) {
        std::vector<DirtyRect> rects = render_frame(screen.ui);
        if (!rects.empty())
            state.SkipWithError("the still dialog drew a frame");
        benchmark::DoNotOptimize(rects);
    }
}
BENCHMARK(still_dialog_frame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace torvane
