#include "ui/backdrop.hpp"

#include "core/threads.hpp"
#include "platform/result.hpp"
#include "render/images.hpp"
#include "ui/motion.hpp"

#include <algorithm>
#include <cmath>

namespace torvane {

namespace {

constexpr float slideshow_half_period = 18;
constexpr float stored_hero_zoom = 1.08f;
constexpr float panel_reuse_seconds = 1.0f;

ClipRect whole(const Pixmap& pixmap)
{
    return ClipRect{0, 0, static_cast<std::int32_t>(pixmap.width()), static_cast<std::int32_t>(pixmap.height())};
}

} // namespace

float slideshow_zoom(float time)
{
    float u = time / slideshow_half_period;
    float phase = u - std::trunc(u);
    if (static_cast<std::int64_t>(std::floor(u)) % 2 != 0)
        phase = 1 - phase;
    float eased = cubic_bezier(ease_in_out_curve, std::clamp(phase, 0.0f, 1.0f));
    return 1.02f + 0.06f * eased;
}

void draw_background_slideshow(Pixmap& target, const Pixmap& hero, float scale, float hero_x, float hero_y,
    const Pixmap& shade, float time)
{
    float zoom = slideshow_zoom(time);
    target.fill(pixel_word(6, 10, 9, 255));
    // The zoom is centred on the window's centre (550, 330).
    float x = (hero_x * zoom + 550 * (1 - zoom)) * scale;
    float y = (hero_y * zoom + 330 * (1 - zoom)) * scale;
    float factor = zoom / stored_hero_zoom;
    draw_image_scaled(hero, target, x, y, factor, factor, 0.55f, ImageBlend::SourceOver, whole(target));
    blend_pixmap_at(target, shade, 1, 0, 0);
}

bool can_reuse_panels(const BackgroundWorker& worker, const RenderJob& job)
{
    return worker.frosted_panels == job.panels && job.time - worker.frosted_time < panel_reuse_seconds;
}

Pixmap render_background_job(BackgroundWorker& worker, const BackgroundWorkerStart& start, const RenderJob& job)
{
    draw_background_slideshow(worker.backdrop, start.hero, start.scale, start.hero_x, start.hero_y, start.shade, job.time);
    if (!can_reuse_panels(worker, job)) {
        worker.layers.clear();
        for (const PanelRect& panel : job.panels) {
            std::optional<PanelLayer> layer = draw_frosted_panel(
                worker.backdrop, start.scale, panel.x, panel.y, panel.w, panel.h, panel.radius, panel.blur);
            if (layer)
                worker.layers.push_back(std::move(*layer));
        }
        worker.frosted_panels = job.panels;
        worker.frosted_time = job.time;
    }
    Pixmap composed = worker.backdrop.clone();
    for (const PanelLayer& layer : worker.layers)
        blend_pixmap_at(composed, layer.pixmap, 1, layer.x, layer.y);
    return composed;
}

void background_render_worker(BackgroundWorkerStart start)
{
    std::optional<Pixmap> backdrop = Pixmap::create(start.width, start.height);
    if (!backdrop)
        return;
    BackgroundWorker worker{std::move(*backdrop)};
    while (std::optional<RenderJob> job = start.jobs.receive()) {
        if (!start.frames.send(render_background_job(worker, start, *job)))
            return;
    }
}

void spawn_background_render_worker(BackgroundWorkerStart start)
{
    spawn_detached(background_render_worker, std::move(start));
}

} // namespace torvane
