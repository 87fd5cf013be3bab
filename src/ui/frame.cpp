#include "ui/frame.hpp"

#include "platform/result.hpp"
#include "platform/clock.hpp"
#include "render/images.hpp"
#include "ui/backdrop.hpp"
#include "ui/layout.hpp"
#include "ui/main_screen.hpp"
#include "ui/settings_overlay.hpp"
#include "ui/motion.hpp"
#include "ui/stage.hpp"
#include "ui/widgets.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace torvane {

namespace {

using Clock = std::chrono::steady_clock;

std::int32_t floor_pixel(float value) { return static_cast<std::int32_t>(std::floor(value)); }
std::int32_t ceil_pixel(float value) { return static_cast<std::int32_t>(std::ceil(value)); }

std::int32_t canvas_width(const UiState& state) { return static_cast<std::int32_t>(state.frame_canvas.width()); }
std::int32_t canvas_height(const UiState& state) { return static_cast<std::int32_t>(state.frame_canvas.height()); }

// The instant a frame's animation clock counts to.
Clock::time_point frame_instant(const UiState& state)
{
    return state.fixed_moment ? state.fixed_moment->instant : Clock::now();
}

float seconds_since(Clock::time_point start, Clock::time_point now)
{
    if (now < start)
        return 0;
    const auto elapsed = now - start;
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed - whole);
    return static_cast<float>(whole.count()) + static_cast<float>(nanos.count()) / 1e9f;
}

void copy_whole(Pixmap& destination, const Pixmap& source)
{
    if (destination.width() != source.width() || destination.height() != source.height())
        fatal("canvas sizes differ");
    std::memcpy(destination.pixels().data(), source.pixels().data(), source.pixel_count() * sizeof(std::uint32_t));
}

// Copies the rows of a device rectangle from source into destination (both the canvas size).
void copy_rows(Pixmap& destination, const Pixmap& source, const DirtyRect& rect)
{
    const std::int32_t right = std::min<std::int32_t>(rect.x + rect.w, static_cast<std::int32_t>(source.width()));
    const std::int32_t bottom = std::min<std::int32_t>(rect.y + rect.h, static_cast<std::int32_t>(source.height()));
    if (rect.x >= right)
        return;
    std::span<std::uint32_t> out = destination.pixels();
    for (std::int32_t row = rect.y; row < bottom; ++row) {
        const std::size_t offset = static_cast<std::size_t>(row) * source.width() + static_cast<std::size_t>(rect.x);
        const std::size_t count = static_cast<std::size_t>(right - rect.x);
        if (offset + count > out.size())
            fatal("canvas sizes differ");
        std::memcpy(out.data() + offset, source.row(static_cast<std::uint32_t>(row)) + rect.x, count * sizeof(std::uint32_t));
    }
}

void blend_layer(UiState& state, const std::optional<Pixmap>& layer, float x, float y, float opacity, ClipRect clip = {})
{
    if (layer)
        blend_pixmap_at(state.frame_canvas, *layer, opacity, round_to_pixel(x * state.scale), round_to_pixel(y * state.scale),
            clip);
}

// Wipes a device rectangle of the frame canvas back to the scene: the composite's rows with the
// panel layers at rest blended over them, clipped to the rectangle. Each blend is per pixel, so
// this gives the pixels a whole composition puts there. Of the layers only the top bar reaches
// the stage area (its last row, where 58 units end inside a pixel) and the pulse box; the right
// column and the bottom bar lie clear of both at every entrance offset, so the intro's
// compositions leave the same scene there.
void restore_scene(UiState& state, const DirtyRect& area)
{
    copy_rows(state.frame_canvas, state.background_composite, area);
    const ClipRect clip{area.x, area.y, area.x + area.w, area.y + area.h};
    blend_layer(state, state.top_bar_layer, top_bar_x, top_bar_y, 1, clip);
    blend_layer(state, state.right_column_layer, right_column_x, right_column_y, 1, clip);
    blend_layer(state, state.bottom_bar_layer, bottom_bar_x, bottom_bar_y, 1, clip);
}

// The whole scene in the frame canvas: the composite with the panel layers over it.
void compose_scene(UiState& state, float p1, float o1, float p2, float o2)
{
    copy_whole(state.frame_canvas, state.background_composite);
    blend_layer(state, state.top_bar_layer, top_bar_x, top_bar_y, 1);
    if (p1 > 0)
        blend_layer(state, state.right_column_layer, right_column_x, right_column_y + o1, p1);
    if (p2 > 0)
        blend_layer(state, state.bottom_bar_layer, bottom_bar_x, bottom_bar_y + o2, p2);
}

// The UI side of the background render worker: start it, collect a finished backdrop without
// waiting, and send a new job when none is in flight and the last one is old or the panels moved.
void feed_background_worker(UiState& state)
{
    if (!state.render_job_tx) {
        auto [job_tx, job_rx] = make_channel<RenderJob>();
        auto [frame_tx, frame_rx] = make_channel<Pixmap>();
        if (!state.images.hero_scaled)
            fatal("hero image missing");
        BackgroundWorkerStart start{std::move(job_rx), std::move(frame_tx), state.images.hero_scaled,
            state.background_layer, state.frame_canvas.width(), state.frame_canvas.height(), state.scale,
            state.hero_x, state.hero_y};
        spawn_background_render_worker(std::move(start));
        state.render_job_tx = std::move(job_tx);
        state.render_frame_rx = std::move(frame_rx);
        state.last_panels.clear();
        state.job_in_flight = false;
    }

    std::vector<PanelRect> panels = worker_panel_list(state);
    std::optional<Pixmap> arrived = state.render_frame_rx->try_receive();
    if (arrived)
        state.job_in_flight = false;
    if (!state.job_in_flight
        && (state.clock - state.last_background_request >= background_interval || panels != state.last_panels)) {
        // A worker that has ended refuses the job; it is dropped and offered again later.
        // The composite replaced last goes back with the job, to be drawn into.
        RenderJob job{state.clock + 0.03f, panels, std::exchange(state.spare_backdrop, std::nullopt)};
        if (state.render_job_tx->send(std::move(job))) {
            state.job_in_flight = true;
            state.last_panels = std::move(panels);
            state.last_background_request = state.clock;
        }
    }
    if (arrived) {
        if (arrived->width() != state.frame_canvas.width() || arrived->height() != state.frame_canvas.height())
            fatal("canvas sizes differ");
        state.spare_backdrop = std::move(state.background_composite);
        state.background_composite = std::move(*arrived);
        state.worker_frame_ready = true;
    }
}

// The glass of a full composition made on this thread: the right column and the bottom bar slide
// in with their reveal progress p1 and p2.
void make_glass(UiState& state, float p1, float o1, float p2, float o2)
{
    const float s = state.scale;
    const MainLayout& layout = state.layout;
    std::vector<GlassPatch> patches;
    // The last frame's glass is drawn into again where the sizes still fit.
    std::vector<GlassPatch> spent = std::exchange(state.glass_patches, {});
    auto add = [&](float x, float y, float w, float h, float radius, float blur, float opacity) {
        std::optional<Pixmap> recycled;
        if (patches.size() < spent.size())
            recycled = std::move(spent[patches.size()].layer.pixmap);
        if (std::optional<PanelLayer> layer =
                draw_frosted_panel(state.backdrop_canvas, s, x, y, w, h, radius, blur, std::move(recycled)))
            patches.push_back(GlassPatch{std::move(*layer), opacity});
    };
    add(top_bar_x, top_bar_y, top_bar_width, top_bar_height, 0, 20, 1);
    if (p1 > 0) {
        add(right_column_x, layout.news_panel_y + o1, right_column_width, layout.news_panel_height, 16, 12, p1);
        add(right_column_x, layout.info_panel_y + o1, right_column_width, layout.info_panel_height, 16, 12, p1);
    }
    if (p2 > 0)
        add(bottom_bar_x, bottom_bar_y + o2, bottom_bar_width, bottom_bar_height, 16, 12, p2);
    state.glass_patches = std::move(patches);
    copy_whole(state.background_composite, state.backdrop_canvas);
    for (const GlassPatch& patch : state.glass_patches)
        blend_pixmap_at(state.background_composite, patch.layer.pixmap, patch.opacity, patch.layer.x, patch.layer.y);
}

void draw_backdrop_now(UiState& state)
{
    StageTimer timer(RenderStage::Background);
    // Released once the worker took over (see below); a later need makes it anew.
    if (state.backdrop_canvas.width() != state.frame_canvas.width()
        || state.backdrop_canvas.height() != state.frame_canvas.height())
        state.backdrop_canvas = Pixmap::create_or_die(state.frame_canvas.width(), state.frame_canvas.height());
    if (state.images.hero_scaled)
        draw_background_slideshow(state.backdrop_canvas, *state.images.hero_scaled, state.scale, state.hero_x,
            state.hero_y, *state.background_layer, state.clock);
}

} // namespace

std::array<std::atomic<std::uint64_t>, stage_slot_count>& stage_times()
{
    static std::array<std::atomic<std::uint64_t>, stage_slot_count> totals{};
    return totals;
}

void reset_stage_times()
{
    for (std::atomic<std::uint64_t>& total : stage_times())
        total.store(0);
}

StageTimer::~StageTimer()
{
    const auto elapsed = Clock::now() - start_;
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    stage_times()[static_cast<std::size_t>(stage_)].fetch_add(nanos > 0 ? static_cast<std::uint64_t>(nanos) : 0);
}

std::vector<PanelRect> worker_panel_list(const UiState& state)
{
    const MainLayout& layout = state.layout;
    return {
        PanelRect{top_bar_x, top_bar_y, top_bar_width, top_bar_height, 0, 20},
        PanelRect{right_column_x, layout.news_panel_y, right_column_width, layout.news_panel_height, 16, 12},
        PanelRect{right_column_x, layout.info_panel_y, right_column_width, layout.info_panel_height, 16, 12},
        PanelRect{bottom_bar_x, bottom_bar_y, bottom_bar_width, bottom_bar_height, 16, 12},
    };
}

void update_hover_fades(UiState& state, float dt)
{
    const std::uint64_t target_key = hover_key(state.hover_id, state.hover_data);
    state.hover_fades.try_emplace(target_key, 0.0f);
    for (auto it = state.hover_fades.begin(); it != state.hover_fades.end();) {
        const auto id = static_cast<std::int32_t>(it->first >> 32);
        const float target = it->first == target_key ? 1.0f : 0.0f;
        const float duration = id == hit_id::play ? 0.25f : 0.2f;
        const float old_value = it->second;
        const float step = dt / duration;
        // Towards the target, never past it: a settled value stays where it is.
        const float moved = target > old_value ? std::min(old_value + step, target)
                                               : std::max(old_value - step, target);
        const float value = std::clamp(moved, 0.0f, 1.0f);
        if (std::fabs(value - old_value) > 1e-6f && id < hit_id::dialog_outside) {
            if (id == hit_id::link || id == hit_id::minimise || id == hit_id::close)
                state.top_bar_dirty = true;
            else if (id == hit_id::all_news || id == hit_id::news)
                state.right_column_dirty = true;
            else if (id == hit_id::window_mode || id == hit_id::settings || id == hit_id::play)
                state.texts_dirty = true;
        }
        if (target == 0 && value == 0) {
            it = state.hover_fades.erase(it);
        } else {
            it->second = value;
            ++it;
        }
    }
}

DirtyRect panel_dirty_rect(const UiState& state, float x, float y, float w, float h)
{
    const float s = state.scale;
    const std::int32_t x0 = std::max(floor_pixel(x * s) - 1, 0);
    const std::int32_t y0 = std::max(floor_pixel(y * s) - 1, 0);
    const std::int32_t x1 = std::min(ceil_pixel((x + w) * s) + 1, canvas_width(state));
    const std::int32_t y1 = std::min(ceil_pixel((y + h) * s) + 1, canvas_height(state));
    return DirtyRect{x0, y0, x1 - x0, y1 - y0};
}

DirtyRect stage_area_rect(const UiState& state)
{
    const float s = state.scale;
    const std::int32_t x0 = floor_pixel(0 * s);
    const std::int32_t y0 = floor_pixel(58 * s);
    return DirtyRect{x0, y0, std::min(ceil_pixel(660 * s), canvas_width(state)) - x0,
        std::min(ceil_pixel(536 * s), canvas_height(state)) - y0};
}

DirtyRect pulse_box_rect(const UiState& state)
{
    const float s = state.scale;
    const float pulse_x = state.layout.pulse_x;
    const std::int32_t x0 = floor_pixel(pulse_x * s);
    const std::int32_t y0 = floor_pixel(12.5f * s);
    return DirtyRect{x0, y0, std::min(ceil_pixel((pulse_x + 30) * s), canvas_width(state)) - x0,
        std::min(ceil_pixel(44.5f * s), canvas_height(state)) - y0};
}

std::vector<DirtyRect> render_frame(UiState& state)
{
    // Clock step.
    state.clock = seconds_since(state.start_instant, frame_instant(state));
    float dt = state.clock - state.last_clock;
    state.last_clock = state.clock;
    if (state.screen_mode != screen_main)
        return render_settings_frame(state);
    dt = std::isnan(dt) ? 0.0f : std::clamp(dt, 0.0f, max_frame_step);

    // 1-3. Hover fades, sparks, running tweens.
    update_hover_fades(state, dt);
    update_sparks(state, dt);
    const float since = state.clock - state.intro_start;
    if (tween_running(state.main_bar_tween, state.clock) || tween_running(state.thin_bar_tween, state.clock)
        || tween_running(state.window_mode_tween, state.clock))
        state.texts_dirty = true;

    // 4. The backdrop: drawn here during the intro, by the worker afterwards.
    const bool after_intro = since >= intro_seconds;
    if (after_intro) {
        feed_background_worker(state);
    } else {
        if (state.last_background_request < 0 || state.clock - state.last_background_request >= background_interval) {
            state.last_background_request = state.clock;
            draw_backdrop_now(state);
        }
        state.main_dirty = true;
    }

    // 5-6. Panel layers, and a new worker backdrop to compose.
    const bool top_changed = state.top_bar_dirty;
    const bool right_changed = state.right_column_dirty;
    const bool bottom_changed = state.texts_dirty;
    draw_main_screen(state);
    if (after_intro && state.worker_frame_ready) {
        state.main_dirty = true;
        state.worker_frame_ready = false;
        state.use_worker_frame = true;
    }

    // 7. Composition.
    const MainLayout& layout = state.layout;
    bool full = false;
    std::vector<DirtyRect> rects;
    if (state.main_dirty) {
        const float p1 = after_intro ? 1.0f : entrance((since - 0.15f) / 0.6f);
        const float p2 = after_intro ? 1.0f : entrance((since - 0.3f) / 0.6f);
        const float o1 = (1 - p1) * 12;
        const float o2 = (1 - p2) * 12;
        {
            StageTimer timer(RenderStage::Glass);
            const bool worker_frame = state.use_worker_frame;
            state.use_worker_frame = false;
            // After the intro the worker's backdrop is used. Until its first one arrives (right
            // after a start past the intro, or a change of scale) the glass is made here, so that
            // no frame shows an empty background.
            if (!worker_frame && (!after_intro || (state.glass_patches.empty() && !state.worker_backdrop_shown))) {
                if (after_intro)
                    draw_backdrop_now(state);
                make_glass(state, p1, o1, p2, o2);
            }
            if (worker_frame && !state.worker_backdrop_shown) {
                // From now on every backdrop comes from the worker: the synchronous slideshow's
                // canvas and glass are not read again until a change of scale.
                state.worker_backdrop_shown = true;
                state.backdrop_canvas = Pixmap::create_or_die(1, 1);
                state.glass_patches.clear();
                state.glass_patches.shrink_to_fit();
            }
        }
        StageTimer timer(RenderStage::Compose);
        compose_scene(state, p1, o1, p2, o2);
        state.main_dirty = false;
        full = true;
    } else {
        struct Panel {
            bool changed;
            const std::optional<Pixmap>& layer;
            float x, y, w, h;
        };
        const Panel panels[] = {
            {top_changed, state.top_bar_layer, top_bar_x, top_bar_y, top_bar_width, top_bar_height},
            {right_changed, state.right_column_layer, right_column_x, right_column_y, right_column_width,
                layout.right_column_height},
            {bottom_changed, state.bottom_bar_layer, bottom_bar_x, bottom_bar_y, bottom_bar_width, bottom_bar_height},
        };
        if (state.redraw_all) {
            StageTimer timer(RenderStage::Compose);
            compose_scene(state, 1, 0, 1, 0);
            full = true;
        } else {
            // The last stage is wiped first, where it was drawn, from the composite and the
            // panel layers as they are now: the canvas then holds the scene whole.
            restore_scene(state, stage_area_rect(state));
            restore_scene(state, state.pulse_box_drawn);
            for (const Panel& panel : panels) {
                if (!panel.changed)
                    continue;
                const DirtyRect rect = panel_dirty_rect(state, panel.x, panel.y, panel.w, panel.h);
                copy_rows(state.frame_canvas, state.background_composite, rect);
                blend_layer(state, panel.layer, panel.x, panel.y, 1);
                rects.push_back(rect);
            }
        }
    }

    // 8. The animated stage.
    draw_stage(state, state.fixed_moment ? state.fixed_moment->wall_ms : platform::unix_time_ms());
    // A new top bar layout moves the pulse box: the next frame wipes the one drawn here.
    state.pulse_box_drawn = pulse_box_rect(state);

    // 9. What changed.
    if (full) {
        state.redraw_all = false;
        return {DirtyRect{0, 0, canvas_width(state), canvas_height(state)}};
    }
    rects.push_back(stage_area_rect(state));
    rects.push_back(pulse_box_rect(state));
    return rects;
}

void stop_background_worker(UiState& state)
{
    state.render_job_tx.reset();
    if (state.render_frame_rx) {
        // Each backdrop still on its way is dropped; none comes once the worker let go of the channel.
        while (state.render_frame_rx->receive()) {
        }
        state.render_frame_rx.reset();
    }
    state.job_in_flight = false;
    state.worker_frame_ready = false;
}

void settle_background_worker(UiState& state)
{
    if (!state.job_in_flight || !state.render_frame_rx)
        return;
    std::optional<Pixmap> arrived = state.render_frame_rx->receive();
    state.job_in_flight = false;
    if (!arrived)
        return;
    if (arrived->width() != state.frame_canvas.width() || arrived->height() != state.frame_canvas.height())
        fatal("canvas sizes differ");
    state.background_composite = std::move(*arrived);
    state.worker_frame_ready = true;
}

void rewind_start_instant(UiState& state, Clock::duration by)
{
    // An instant that cannot move that far back stays where it is.
    if (by.count() < 0 || state.start_instant.time_since_epoch().count() < Clock::duration::min().count() + by.count())
        return;
    state.start_instant -= by;
}

void freeze_clocks(UiState& state)
{
    // The animation stays at the time the state shows now (0 for a state just built), so that the
    // time its building took does not show either.
    const auto shown = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(state.clock));
    state.fixed_moment = FixedMoment {state.start_instant + shown, platform::unix_time_ms()};
}

void advance_clock(UiState& state, float seconds)
{
    if (state.intro_start > 1e8f)
        state.intro_start = state.clock;
    rewind_start_instant(state, std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
    for (int i = 0; i < 60; ++i)
        update_sparks(state, seconds / 60);
    state.last_clock = seconds_since(state.start_instant, frame_instant(state));
    render_frame(state);
    state.stage.digit_changed_at.fill(-10);
    state.redraw_all = true;
    render_frame(state);
}

} // namespace torvane
