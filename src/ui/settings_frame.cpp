// The frame of the open settings dialog: the frozen main screen, its blurred backdrop fading in,
// the dialog pixmap popping in, and the open drop-down list drawn over it all.
#include "ui/settings_overlay.hpp"

#include "platform/result.hpp"
#include "render/effects/blur.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"
#include "render/shaping.hpp"
#include "ui/layout.hpp"
#include "ui/main_screen.hpp"
#include "ui/motion.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace torvane {

namespace {

constexpr Color list_fill = Color::from_rgba8(0x0A, 0x0E, 0x10);
constexpr Color list_highlight = Color::from_rgba8(0xD9, 0xA8, 0x45, 89);

} // namespace

std::vector<HitRegion> draw_drop_down_list(UiState& ui, Canvas& canvas, const SettingsModel& overlay)
{
    if (!overlay.open_field || *overlay.open_field < 0 || *overlay.open_field >= settings_field_count)
        fatal("lista aberta inválida");
    const auto field = static_cast<std::size_t>(*overlay.open_field);
    const std::vector<OptionChoice>& options = overlay.options[field];
    const auto count = static_cast<std::int32_t>(options.size());
    const float field_top = settings_field_top(overlay.message.has_value(), *overlay.open_field);
    const DropDownGeometry list = drop_down_geometry(field_top, count);
    const float y = list.top;
    const float h = list.height;

    draw_shadow(canvas, Color{0, 0, 0, 128 / 255.0f}, settings_field_x, y + 4, settings_field_width, h, 4, 8);
    fill_round_rect(canvas, Paint::solid(list_fill), settings_field_x, y, settings_field_width, h, 0);
    stroke_round_rect(canvas, Color{1, 1, 1, 33 / 255.0f}, settings_field_x, y, settings_field_width, h, 0);

    std::vector<HitRegion> hits;
    hits.push_back({settings_field_x, y, settings_field_x + settings_field_width, y + h, hit_id::dialog_body, 0});

    const std::int32_t highlighted = overlay.hovered_option ? *overlay.hovered_option : overlay.selected[field];
    const Font& font = ui.fonts.manrope_regular;
    for (std::int32_t i = 0; i < list.rows; ++i) {
        const std::int32_t option = overlay.first_visible_row + i;
        if (option < 0 || option >= count)
            break;
        const float r = y + 1 + drop_down_row_height * static_cast<float>(i);
        if (option == highlighted)
            fill_round_rect(canvas, Paint::solid(list_highlight), 476, r, 288, drop_down_row_height, 0);
        const std::string text = ellipsize_to_width(font, 13, 266, options[static_cast<std::size_t>(option)].label);
        const ShapedRun run = cached_run(ui.text_cache, ui.fonts, TextFace::ManropeRegular, 13, 0, text);
        draw_run_at_top(canvas, font, run, 486, r + 3, Paint::solid(palette::text));
        hits.push_back({476, r, 764, r + drop_down_row_height, hit_id::dialog_list_option, option});
    }

    if (list.rows < count) {
        const float track = static_cast<float>(list.rows) * drop_down_row_height - 2;
        const float thumb = static_cast<float>(list.rows) * track / static_cast<float>(count);
        const float thumb_top = y + 2 + (track - thumb) * static_cast<float>(overlay.first_visible_row)
                / static_cast<float>(count - list.rows);
        fill_round_rect(canvas, Paint::solid(Color{1, 1, 1, 64 / 255.0f}), 759, thumb_top, 4, thumb, 2);
    }
    return hits;
}

std::vector<DirtyRect> render_settings_frame(UiState& ui)
{
    SettingsModel& overlay = ui.settings;
    const float since = ui.clock - overlay.opened_at;
    const float a = std::clamp(since / 0.2f, 0.0f, 1.0f);
    const float b = std::clamp(since * 4, 0.0f, 1.0f);

    // A frame at rest is skipped only once one has been drawn: the frame before it may have been
    // drawn part-way through the opening or a knob's move (a late frame jumps past the end).
    const bool at_rest = a >= 1 && b >= 1 && !tween_running(ui.sound_tween, ui.clock)
        && !tween_running(ui.music_tween, ui.clock);
    if (at_rest && overlay.rest_drawn && !overlay.settings_dirty && !ui.redraw_all && overlay.dialog_pixmap)
        return {};

    // The dialog pixmap starts as a copy of its base (drawn on a transparent pixmap of the same
    // size, so copying it is the same as clearing and drawing it again); the controls go on top.
    const float s = ui.scale;
    const std::uint32_t width = scaled_pixels(1100, s);
    const std::uint32_t height = scaled_pixels(660, s);
    if (!overlay.dialog_base || overlay.dialog_base_message != overlay.message || overlay.dialog_base->width() != width
        || overlay.dialog_base->height() != height) {
        overlay.dialog_base = Pixmap::create_or_die(width, height);
        Canvas base_canvas(*overlay.dialog_base, 0, 0, s);
        draw_settings_dialog_base(ui, base_canvas, overlay.message);
        overlay.dialog_base_message = overlay.message;
    }
    if (!overlay.dialog_pixmap || overlay.dialog_pixmap->width() != width || overlay.dialog_pixmap->height() != height)
        overlay.dialog_pixmap = Pixmap::create_or_die(width, height);
    Pixmap& dialog = *overlay.dialog_pixmap;
    std::memcpy(dialog.pixels().data(), overlay.dialog_base->pixels().data(), dialog.pixel_count() * sizeof(std::uint32_t));
    Canvas dialog_canvas(dialog, 0, 0, s);
    ui.dialog_hits = draw_settings_dialog_controls(ui, dialog_canvas, overlay);

    Pixmap& frame = ui.frame_canvas;
    const auto same_size = [&](const std::optional<Pixmap>& snapshot) {
        return snapshot && snapshot->width() == frame.width() && snapshot->height() == frame.height();
    };
    if (!same_size(overlay.sharp_snapshot) || !same_size(overlay.blurred_snapshot))
        fatal("instantâneo do diálogo com tamanho diferente do quadro");
    std::memcpy(frame.pixels().data(), overlay.sharp_snapshot->pixels().data(), frame.pixel_count() * sizeof(std::uint32_t));

    draw_pixmap(frame, 0, 0, *overlay.blurred_snapshot,
        PixmapPaint{cubic_bezier(ease_out_curve, a), BlendMode::SourceOver, FilterQuality::Nearest});

    const float m = cubic_bezier(overshoot_curve, b);
    if (b < 1) {
        const Transform pop = Transform::translate(550 * s, 330 * s + 10 * s * (1 - m))
                                  .after(Transform::scale(0.97f + 0.03f * m, 0.97f + 0.03f * m))
                                  .after(Transform::translate(-550 * s, -330 * s));
        draw_pixmap(frame, 0, 0, dialog, PixmapPaint{std::clamp(m, 0.0f, 1.0f), BlendMode::SourceOver, FilterQuality::Bilinear},
            pop);
    } else {
        draw_pixmap(frame, 0, 0, dialog, PixmapPaint{1, BlendMode::SourceOver, FilterQuality::Nearest});
    }

    if (ui.screen_mode == screen_settings_list) {
        Canvas frame_canvas(frame, 0, 0, s);
        std::vector<HitRegion> list_hits = draw_drop_down_list(ui, frame_canvas, overlay);
        ui.dialog_hits.insert(ui.dialog_hits.end(), list_hits.begin(), list_hits.end());
    }

    overlay.settings_dirty = false;
    overlay.rest_drawn = at_rest;
    ui.redraw_all = false;
    return {DirtyRect{0, 0, static_cast<std::int32_t>(frame.width()), static_cast<std::int32_t>(frame.height())}};
}

void rescale_settings_overlay(UiState& ui)
{
    if (ui.screen_mode == screen_main)
        return;
    SettingsModel& overlay = ui.settings;
    const std::uint32_t width = ui.frame_canvas.width();
    const std::uint32_t height = ui.frame_canvas.height();
    for (std::optional<Pixmap>* snapshot : {&overlay.sharp_snapshot, &overlay.blurred_snapshot})
        if (*snapshot && ((*snapshot)->width() != width || (*snapshot)->height() != height))
            *snapshot = resize_pixmap(**snapshot, width, height);
    overlay.dialog_pixmap.reset();
    overlay.dialog_base.reset();
    overlay.settings_dirty = true;
}

} // namespace torvane
