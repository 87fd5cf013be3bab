#include "ui/backdrop.hpp"

#include "core/threads.hpp"
#include "platform/result.hpp"
#include "render/compositing.hpp"
#include "render/images.hpp"
#include "ui/motion.hpp"

#include <algorithm>
#include <utility>
#include <cmath>

namespace torvane {

namespace {

constexpr float slideshow_half_period = 18;
constexpr float stored_hero_zoom = 1.08f;
constexpr float panel_reuse_seconds = 1.0f;
constexpr std::uint32_t slideshow_band_rows = 64;

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
    // The zoom is centred on the window's centre (550, 330).
    float x = (hero_x * zoom + 550 * (1 - zoom)) * scale;
    float y = (hero_y * zoom + 330 * (1 - zoom)) * scale;
    float factor = zoom / stored_hero_zoom;
    // The three layers are laid a band of rows at a time, so that each band is still in the cache
    // for the next layer; every pixel goes through the same steps in the same order as a whole
    // fill, a whole draw and a whole blend would take it.
    const std::uint32_t base = pixel_word(6, 10, 9, 255);
    const std::uint32_t shade_width = std::min(target.width(), shade.width());
    const std::uint32_t shade_height = std::min(target.height(), shade.height());
    BandedImageDraw hero_draw(hero, target, x, y, factor, factor, 0.55f, ImageBlend::SourceOver, whole(target));
    for (std::uint32_t top = 0; top < target.height(); top += slideshow_band_rows) {
        const std::uint32_t bottom = std::min(target.height(), top + slideshow_band_rows);
        for (std::uint32_t row = top; row < bottom; ++row)
            std::fill_n(target.row(row), target.width(), base);
        hero_draw.draw_rows(target, top, bottom);
        for (std::uint32_t row = top; row < std::min(bottom, shade_height); ++row)
            source_over_row(target.row(row), shade.row(row), shade_width, 256);
    }
    // The rows were written directly; cairo must not keep an older view of them.
    (void)target.pixels();
}

bool can_reuse_panels(const BackgroundWorker& worker, const RenderJob& job)
{
    return worker.frosted_panels == job.panels && job.time - worker.frosted_time < panel_reuse_seconds;
}

Pixmap render_background_job(BackgroundWorker& worker, const BackgroundWorkerStart& start, const RenderJob& job)
{
    // The last backdrop went out whole; this one is drawn into the spare the UI gave back, or
    // into a new pixmap when there is none of the size.
    if (worker.backdrop.width() == 0) {
        if (worker.spare && worker.spare->width() == start.width && worker.spare->height() == start.height)
            worker.backdrop = std::move(*worker.spare);
        else
            worker.backdrop = Pixmap::create_or_die(start.width, start.height);
        worker.spare.reset();
    }
    draw_background_slideshow(
        worker.backdrop, *start.hero, start.scale, start.hero_x, start.hero_y, *start.shade, job.time);
    if (!can_reuse_panels(worker, job)) {
        // The spent layers are drawn into again where the sizes still fit.
        std::vector<PanelLayer> spent = std::exchange(worker.layers, {});
        for (std::size_t i = 0; i < job.panels.size(); ++i) {
            const PanelRect& panel = job.panels[i];
            std::optional<Pixmap> recycled;
            if (i < spent.size())
                recycled = std::move(spent[i].pixmap);
            std::optional<PanelLayer> layer = draw_frosted_panel(worker.backdrop, start.scale, panel.x, panel.y,
                panel.w, panel.h, panel.radius, panel.blur, std::move(recycled));
            if (layer)
                worker.layers.push_back(std::move(*layer));
        }
        worker.frosted_panels = job.panels;
        worker.frosted_time = job.time;
    }
    for (const PanelLayer& layer : worker.layers)
        blend_pixmap_at(worker.backdrop, layer.pixmap, 1, layer.x, layer.y);
    return std::move(worker.backdrop);
}

void background_render_worker(BackgroundWorkerStart start)
{
    std::optional<Pixmap> backdrop = Pixmap::create(start.width, start.height);
    if (!backdrop)
        return;
    BackgroundWorker worker{std::move(*backdrop)};
    while (std::optional<RenderJob> job = start.jobs.receive()) {
        if (job->spare)
            worker.spare = std::move(job->spare);
        if (!start.frames.send(render_background_job(worker, start, *job)))
            return;
    }
}

void spawn_background_render_worker(BackgroundWorkerStart start)
{
    spawn_detached(background_render_worker, std::move(start));
}

} // namespace torvane
