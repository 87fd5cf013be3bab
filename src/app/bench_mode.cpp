// --bench: renders 600 main-screen frames as the window would at 60 Hz and reports their cost.
#include "app/bench_mode.hpp"

#include "app/modes.hpp"
#include "app/offscreen_screen.hpp"
#include "core/launcher_config_cache.hpp"
#include "platform/files.hpp"
#include "render/compositing.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>

namespace torvane {

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds_since(Clock::time_point start)
{
    const auto elapsed = Clock::now() - start;
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed - whole);
    return static_cast<double>(whole.count()) * 1000 + static_cast<double>(nanos.count()) / 1e6;
}

template <class... Args>
void append_format(std::string& out, const char* format, Args... args)
{
    char line[256];
    const int length = std::snprintf(line, sizeof line, format, args...);
    if (length > 0)
        out.append(line, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof line - 1));
}

// The present step's conversion: each pixel of the rectangle as an opaque 0xFFRRGGBB word.
void copy_for_present(std::vector<std::uint32_t>& buffer, const Pixmap& frame, const DirtyRect& rect)
{
    const auto width = static_cast<std::int32_t>(frame.width());
    const auto height = static_cast<std::int32_t>(frame.height());
    const std::int32_t x0 = std::clamp(rect.x, 0, width);
    const std::int32_t y0 = std::clamp(rect.y, 0, height);
    const std::int32_t x1 = std::clamp(rect.x + rect.w, 0, width);
    const std::int32_t y1 = std::clamp(rect.y + rect.h, 0, height);
    for (std::int32_t y = y0; y < y1; ++y) {
        const std::uint32_t* source = frame.row(static_cast<std::uint32_t>(y));
        std::uint32_t* out = buffer.data() + static_cast<std::size_t>(y) * frame.width();
        if (x0 < x1)
            opaque_copy_row(out + x0, source + x0, static_cast<std::size_t>(x1 - x0));
    }
}

} // namespace

BenchFigures bench_figures(std::vector<double> frame_ms, int complete_frames)
{
    BenchFigures figures;
    if (frame_ms.empty())
        return figures;
    std::stable_sort(frame_ms.begin(), frame_ms.end());
    const auto count = static_cast<double>(frame_ms.size());
    auto at = [&](std::size_t index) { return frame_ms[std::min(index, frame_ms.size() - 1)]; };
    figures.mean = std::accumulate(frame_ms.begin(), frame_ms.end(), 0.0) / count;
    figures.median = at(frame_ms.size() / 2);
    figures.p95 = at(frame_ms.size() * 95 / 100);
    figures.max = frame_ms.back();
    figures.cpu_percent = figures.mean * 60 / 10;
    figures.complete_frames = complete_frames;
    return figures;
}

std::string bench_report(float scale, double init_ms, const BenchFigures& figures,
    const std::array<std::uint64_t, stage_slot_count>& stage_ns)
{
    std::string text;
    append_format(text, "escala %s init %.1f ms\n", shortest_float_text(scale).c_str(), init_ms);
    append_format(text,
        "quadros %d (10 s a 60 fps): media %.2f ms, mediana %.2f, p95 %.2f, max %.2f, quadros completos %d\n",
        bench_frame_count, figures.mean, figures.median, figures.p95, figures.max, figures.complete_frames);
    append_format(text, "CPU estimada a 60 fps: %.1f%% de um nucleo\n", figures.cpu_percent);
    for (std::size_t slot = 0; slot < stage_slot_count; ++slot) {
        const double total_ms = static_cast<double>(stage_ns[slot]) / 1e6;
        if (total_ms > 0)
            append_format(text, "  %s: %.1f ms total (%.2f ms/quadro)\n", std::string(stage_names[slot]).c_str(),
                total_ms, total_ms / bench_frame_count);
    }
    return text;
}

int run_bench(const fs::path& base_dir, const fs::path& report, float scale)
{
    if (!usable_offscreen_scale(scale)) {
        report_unusable_scale(scale);
        return 0;
    }
    LauncherConfig config = load_launcher_config(base_dir);
    const Clock::time_point t0 = Clock::now();
    UiState ui = build_ui_state(scale, base_dir);
    const double init_ms = milliseconds_since(t0);
    show_configured_screen(ui, config);

    set_status(ui, {.label = "Cliente atualizado.", .thin_bar_percent = 100, .main_bar_percent = 100, .detail = "-", .rate = ""});
    ui.play_enabled = true;
    ui.play_label = "cliente pronto";
    ui.texts_dirty = true;
    advance_clock(ui, 3.0f);

    reset_stage_times();
    const std::uint32_t width = ui.frame_canvas.width();
    std::vector<std::uint32_t> buffer(std::size_t{width} * ui.frame_canvas.height(), 0);
    std::vector<double> frame_ms;
    frame_ms.reserve(bench_frame_count);
    int complete = 0;
    for (int frame = 0; frame < bench_frame_count; ++frame) {
        const Clock::time_point t = Clock::now();
        rewind_start_instant(ui, std::chrono::nanoseconds(16'666'668));
        const std::vector<DirtyRect> rects = render_frame(ui);
        if (rects.size() == 1 && rects.front().w >= static_cast<std::int32_t>(width))
            ++complete;
        for (const DirtyRect& rect : rects)
            copy_for_present(buffer, ui.frame_canvas, rect);
        frame_ms.push_back(milliseconds_since(t));
    }

    std::array<std::uint64_t, stage_slot_count> stage_ns{};
    for (std::size_t slot = 0; slot < stage_slot_count; ++slot)
        stage_ns[slot] = stage_times()[slot].load();
    const std::string text = bench_report(scale, init_ms, bench_figures(std::move(frame_ms), complete), stage_ns);
    // A report that cannot be written is not reported.
    (void)platform::write_file(report, text);
    stop_background_worker(ui);
    drop_ui_state(ui);
    return 0;
}

} // namespace torvane
