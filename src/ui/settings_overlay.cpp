#include "ui/settings_overlay.hpp"

#include "platform/result.hpp"
#include "render/effects/blur.hpp"
#include "render/glyph_raster.hpp"
#include "render/icons.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"
#include "render/shaping.hpp"
#include "ui/layout.hpp"
#include "ui/main_screen.hpp"
#include "ui/motion.hpp"
#include "ui/widgets.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace torvane {

namespace {

constexpr Color white{1, 1, 1, 1};
constexpr Color faint_white = Color{1, 1, 1, 33 / 255.0f};
constexpr Color body_fill = Color::from_rgba8(15, 22, 20);
constexpr Color field_fill = Color::from_rgba8(10, 16, 14);
constexpr Color warning = Color::from_rgba8(239, 68, 68);
constexpr Color warning_text = Color::from_rgba8(252, 165, 165);
constexpr Color save_ink = Color::from_rgba8(26, 18, 0);
constexpr Color backdrop_shade = Color::from_rgba8(3, 6, 5, 179);

constexpr std::array<std::string_view, settings_field_count> row_labels{
    "Modo de tela", "Resolução", "Limite de FPS", "Renderizador", "Idioma do cliente"};

// The index of the first choice whose value is the text, 0 when none is.
std::int32_t selected_index(const std::vector<OptionChoice>& choices, const std::string& value)
{
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].value == value)
            return static_cast<std::int32_t>(i);
    return 0;
}

void draw_line(UiState& ui, Canvas& canvas, TextFace face, float size, std::string_view text, float x, float top,
    Color color)
{
    const ShapedRun run = cached_run(ui.text_cache, ui.fonts, face, size, 0, text);
    draw_run_at_top(canvas, face_font(ui.fonts, face), run, x, top, Paint::solid(color));
}

// A line centred on x.
void draw_centred_line(UiState& ui, Canvas& canvas, TextFace face, float size, std::string_view text, float centre,
    float top, Color color)
{
    const ShapedRun run = cached_run(ui.text_cache, ui.fonts, face, size, 0, text);
    draw_run_at_top(canvas, face_font(ui.fonts, face), run, centre - run.width / 2, top, Paint::solid(color));
}

void fill_circle(Canvas& canvas, float cx, float cy, float radius, Color color)
{
    if (std::optional<Path> circle = circle_path(cx, cy, radius))
        fill_path(*canvas.pixmap, *circle, Paint::solid(color), FillRule::Winding, canvas.transform());
}

// The gold line along the dialog's top edge, clipped to its rounded outline.
void draw_top_accent(Canvas& canvas, float top, float height)
{
    std::optional<Mask> mask = Mask::create(canvas.pixmap->width(), canvas.pixmap->height());
    std::optional<Path> outline = rounded_rect_path(settings_dialog_x + 1, top + 1, settings_dialog_width - 2, height - 2, 17);
    std::optional<Path> line = rounded_rect_path(settings_dialog_x + 1, top + 1, settings_dialog_width - 2, 2, 0);
    if (!mask || !outline || !line)
        return;
    mask->fill_path(*outline, FillRule::Winding, true, canvas.transform());
    fill_path(*canvas.pixmap, *line, Paint{warm_gold_gradient(settings_dialog_x + 1, top + 1, settings_dialog_width - 2, 2)},
        FillRule::Winding, canvas.transform(), &*mask);
}

// A choice field's box with the selected option and the arrow; gold while hovered or open.
void draw_choice_box(UiState& ui, Canvas& canvas, const SettingsModel& overlay, std::int32_t row, float dialog_top)
{
    const float y = dialog_top + settings_row_offsets[static_cast<std::size_t>(row)];
    fill_round_rect(canvas, Paint::solid(field_fill), settings_field_x, y, settings_field_width, settings_field_height, 10);
    const bool hovered = ui.hover_id == hit_id::dialog_list_header && ui.hover_data == row;
    const bool list_open = ui.screen_mode == screen_settings_list && overlay.open_field == row;
    stroke_round_rect(canvas, hovered || list_open ? palette::gold : faint_white, settings_field_x, y, settings_field_width,
        settings_field_height, 10);

    const std::vector<OptionChoice>& choices = overlay.options[static_cast<std::size_t>(row)];
    const std::int32_t selected = overlay.selected[static_cast<std::size_t>(row)];
    if (selected >= 0 && static_cast<std::size_t>(selected) < choices.size()) {
        const std::string value =
            ellipsize_to_width(ui.fonts.manrope_medium, 13, 244, choices[static_cast<std::size_t>(selected)].label);
        draw_line(ui, canvas, TextFace::ManropeMedium, 13, value, 490, y + 8, palette::text);
    }
    draw_icon(canvas, ui.icons.chevron, 748, y + 9, 16, icon_grid, palette::text, 3);
}

// The slider's track, knob and value text.
void draw_volume(UiState& ui, Canvas& canvas, std::int32_t volume, float top)
{
    float v = static_cast<float>(volume) / 10;
    v = std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
    const Color track_white = Color{1, 1, 1, 26 / 255.0f};
    const ColorStop stops[] = {{0, palette::gold}, {v, palette::gold}, {v, track_white}, {1, track_white}};
    std::optional<Shader> track = Shader::linear_gradient({477, 0}, {715, 0}, stops);
    fill_round_rect(canvas, Paint{track ? *track : Shader::solid(track_white)}, 477, top + 365.5f, 238, 5, 2.5f);

    // The knob with its golden glow.
    const float cx = volume_knob_x(volume);
    const float cy = top + 368;
    const float s = canvas.scale;
    const auto side = static_cast<std::uint32_t>(std::ceil(40 * s));
    if (std::optional<Pixmap> glow = Pixmap::create(side, side)) {
        Canvas sprite(*glow, cx - 20, cy - 20, s);
        fill_circle(sprite, cx, cy, 7.5f, color_with_alpha(palette::gold, 0.6f));
        gaussian_blur(*glow, 4 * s);
        blend_pixmap_at(*canvas.pixmap, *glow, 1, round_to_pixel((cx - 20 - canvas.origin_x) * s),
            round_to_pixel((cy - 20 - canvas.origin_y) * s));
    }
    fill_circle(canvas, cx, cy, 7.5f, palette::gold);
    fill_circle(canvas, cx, cy, 5.5f, white);

    const std::string value = std::to_string(volume) + "/10";
    const ShapedRun run = cached_run(ui.text_cache, ui.fonts, TextFace::ManropeSemiBold, 13, 0, value);
    draw_run_at_top(canvas, ui.fonts.manrope_semibold, run, 765 - run.width, top + 359, Paint::solid(palette::secondary));
}

void draw_buttons(UiState& ui, Canvas& canvas, const SettingsModel& overlay, float buttons_top)
{
    const float b = buttons_top;
    const bool cancel_hovered = ui.hover_id == hit_id::dialog_cancel;
    if (cancel_hovered)
        fill_round_rect(canvas, Paint::solid(color_with_alpha(palette::gold, 20 / 255.0f)), 535, b, 110, 34, 10);
    stroke_round_rect(canvas, cancel_hovered ? palette::gold : faint_white, 535, b, 110, 34, 10);
    draw_centred_line(ui, canvas, TextFace::ManropeMedium, 13, "Cancelar", 590, b + 8, palette::text);

    const float alpha = overlay.saving ? 0.6f : 1.0f;
    if (ui.hover_id == hit_id::dialog_save && !overlay.saving)
        draw_shadow(canvas, color_with_alpha(palette::gold, 102 / 255.0f), 655, b, 110, 34, 10, 12);
    const ColorStop stops[] = {{0, color_with_alpha(palette::gold_start, alpha)}, {1, color_with_alpha(palette::gold_end, alpha)}};
    fill_round_rect(canvas, Paint{linear_gradient_shader(stops, 655, b, 110, 34, 135)}, 655, b, 110, 34, 10);
    draw_centred_line(ui, canvas, TextFace::ManropeSemiBold, 13, "Salvar", 710, b + 8, color_with_alpha(save_ink, alpha));
}

} // namespace

SettingsPanelModel capture_settings_model()
{
    SettingsPanelModel model;
    model.window_modes = option_list(window_mode_options);
    model.resolutions = option_list(capture_resolution_options);
    model.fps_limits = option_list(fps_limit_options);
    model.renderers = option_list(renderer_options);
    model.languages = option_list(managed_language_options);
    model.window_mode = "2";
    model.resolution = "3";
    model.fps_index = "5";
    model.render_state = "1";
    model.language = "Por";
    return model;
}

float settings_dialog_height_for(bool has_message)
{
    return settings_dialog_height + (has_message ? settings_message_height : 0.0f);
}

float settings_dialog_top(bool has_message) { return std::round((660 - settings_dialog_height_for(has_message)) / 2); }

float settings_field_top(bool has_message, std::int32_t field)
{
    if (field < 0 || field >= settings_field_count)
        fatal("campo de configuração inválido");
    return settings_dialog_top(has_message) + settings_row_offsets[static_cast<std::size_t>(field)];
}

DropDownGeometry drop_down_geometry(float field_top, std::int32_t option_count)
{
    const float below = 654 - (field_top + settings_field_height);
    const float above = field_top - 6;
    const auto fitting = static_cast<std::int32_t>(std::floor((std::max(below, above) - 2) / drop_down_row_height));
    std::int32_t rows = std::min({option_count, drop_down_max_rows, fitting});
    if (option_count >= 1)
        rows = std::max(rows, 1);
    rows = std::max(rows, 0);
    DropDownGeometry geometry;
    geometry.rows = rows;
    geometry.height = static_cast<float>(rows) * drop_down_row_height + 2;
    geometry.top = geometry.height <= below ? field_top + settings_field_height
                                            : std::max(field_top - geometry.height, 6.0f);
    return geometry;
}

float volume_knob_x(std::int32_t volume)
{
    float v = static_cast<float>(volume) / 10;
    v = std::clamp(v, 0.0f, 1.0f);
    return 484.5f + 223 * v;
}

void open_settings_overlay(UiState& ui, SettingsPanelModel model)
{
    SettingsModel overlay;
    overlay.options = {std::move(model.window_modes), std::move(model.resolutions), std::move(model.fps_limits),
        std::move(model.renderers), std::move(model.languages)};
    const std::array<const std::string*, settings_field_count> current{
        &model.window_mode, &model.resolution, &model.fps_index, &model.render_state, &model.language};
    for (std::size_t i = 0; i < settings_field_count; ++i)
        overlay.selected[i] = selected_index(overlay.options[i], *current[i]);

    // The backdrop: the frame shrunk to half size, blurred there (cheaper, and softer), stretched
    // back and darkened.
    const Pixmap& frame = ui.frame_canvas;
    const std::uint32_t width = frame.width();
    const std::uint32_t height = frame.height();
    Pixmap half = resize_pixmap(frame, std::max(1u, width / 2), std::max(1u, height / 2));
    gaussian_blur(half, 3 * ui.scale);
    Pixmap backdrop = Pixmap::create_or_die(width, height);
    draw_pixmap(backdrop, 0, 0, half, PixmapPaint{1, BlendMode::Source, FilterQuality::Bilinear},
        Transform::scale(static_cast<float>(width) / static_cast<float>(half.width()),
            static_cast<float>(height) / static_cast<float>(half.height())));
    Canvas shade(backdrop);
    fill_round_rect(shade, Paint::solid(backdrop_shade), 0, 0, static_cast<float>(width), static_cast<float>(height), 0);

    overlay.sharp_snapshot = frame.clone();
    overlay.blurred_snapshot = std::move(backdrop);
    overlay.opened_at = ui.clock;
    overlay.sound_on = model.sound_on;
    overlay.music_on = model.music_on;
    overlay.volume = std::clamp(model.volume, 0, 10);
    if (model.message && !model.message->empty())
        overlay.message = std::move(model.message);
    ui.sound_tween = settled_tween(model.sound_on ? 1.0f : 0.0f, toggle_seconds);
    ui.music_tween = settled_tween(model.music_on ? 1.0f : 0.0f, toggle_seconds);
    ui.settings = std::move(overlay);
    ui.dialog_hits.clear();
    ui.screen_mode = screen_settings;

    ui.hover_id = hit_id::none;
    ui.hover_data = 0;
    on_mouse_move(ui, ui.pointer_x, ui.pointer_y);
    ui.redraw_all = true;
}

std::vector<HitRegion> draw_settings_dialog(UiState& ui, Canvas& canvas, const SettingsModel& overlay)
{
    draw_settings_dialog_base(ui, canvas, overlay.message);
    return draw_settings_dialog_controls(ui, canvas, overlay);
}

void draw_settings_dialog_base(UiState& ui, Canvas& canvas, const std::optional<std::string>& message)
{
    const bool has_message = message.has_value();
    const float height = settings_dialog_height_for(has_message);
    const float t = settings_dialog_top(has_message);
    constexpr float x = settings_dialog_x;
    constexpr float w = settings_dialog_width;

    draw_shadow(canvas, Color{0, 0, 0, 0.6f}, x, t + 24, w, height, 18, 30);
    draw_shadow(canvas, color_with_alpha(palette::gold, 64 / 255.0f), x, t, w, height, 18, 25);
    fill_round_rect(canvas, Paint::solid(body_fill), x, t, w, height, 18);
    stroke_round_rect(canvas, faint_white, x, t, w, height, 18);
    draw_top_accent(canvas, t, height);

    draw_line(ui, canvas, TextFace::UrbanistBold, 19, "Configurações do jogo", 335, t + 23.5f, palette::text);
    fill_round_rect(canvas, Paint::solid(color_with_alpha(white, 18 / 255.0f)), 335, t + 63, 430, 1, 0);

    const Font& caps = ui.fonts.manrope_bold;
    draw_caps_label(canvas, caps, 335, t + 80, 10.5f, "TELA");
    draw_caps_label(canvas, caps, 335, t + 194, 10.5f, "DESEMPENHO");
    draw_caps_label(canvas, caps, 335, t + 308, 10.5f, "ÁUDIO");
    draw_caps_label(canvas, caps, 335, t + 393, 10.5f, "IDIOMA");

    for (std::size_t row = 0; row < settings_field_count; ++row)
        draw_line(ui, canvas, TextFace::ManropeRegular, 13, row_labels[row], 335, t + settings_row_offsets[row] + 8,
            palette::secondary);
    draw_line(ui, canvas, TextFace::ManropeRegular, 12.5f, "Efeitos sonoros", 335, t + 332, palette::secondary);
    draw_line(ui, canvas, TextFace::ManropeRegular, 12.5f, "Música", 565, t + 332, palette::secondary);
    draw_line(ui, canvas, TextFace::ManropeRegular, 13, "Volume", 335, t + 359, palette::secondary);

    if (message) {
        fill_round_rect(canvas, Paint::solid(color_with_alpha(warning, 26 / 255.0f)), 335, t + 459, 430, 35, 10);
        stroke_round_rect(canvas, color_with_alpha(warning, 102 / 255.0f), 335, t + 459, 430, 35, 10);
        const std::string text = ellipsize_to_width(ui.fonts.manrope_regular, 12, 408, *message);
        draw_line(ui, canvas, TextFace::ManropeRegular, 12, text, 346, t + 468, warning_text);
    }
}

std::vector<HitRegion> draw_settings_dialog_controls(UiState& ui, Canvas& canvas, const SettingsModel& overlay)
{
    const bool has_message = overlay.message.has_value();
    const float height = settings_dialog_height_for(has_message);
    const float t = settings_dialog_top(has_message);
    constexpr float x = settings_dialog_x;
    constexpr float w = settings_dialog_width;

    if (ui.hover_id == hit_id::dialog_close)
        draw_icon_button(canvas, ui.icons.close, 731, t + 19, 1, IconButtonLook::Plain);
    else
        draw_icon(canvas, ui.icons.close, 742.5f, t + 29.5f, 11, close_icon_grid, palette::secondary, 1.6f);
    for (std::int32_t row = 0; row < settings_field_count; ++row)
        draw_choice_box(ui, canvas, overlay, row, t);
    draw_toggle(canvas, overlay.sound_on, 497, t + 330, tween_value(ui.sound_tween, ui.clock));
    draw_toggle(canvas, overlay.music_on, 727, t + 330, tween_value(ui.music_tween, ui.clock));
    draw_volume(ui, canvas, overlay.volume, t);
    const float buttons_top = t + 469 + (has_message ? settings_message_height : 0.0f);
    draw_buttons(ui, canvas, overlay, buttons_top);

    std::vector<HitRegion> hits;
    hits.reserve(settings_dialog_region_count);
    hits.push_back({x, t, x + w, t + height, hit_id::dialog_body, 0});
    hits.push_back({731, t + 19, 765, t + 51, hit_id::dialog_close, 0});
    for (std::int32_t row = 0; row < settings_field_count; ++row) {
        const float y = t + settings_row_offsets[static_cast<std::size_t>(row)];
        hits.push_back({settings_field_x, y, settings_field_x + settings_field_width, y + settings_field_height,
            hit_id::dialog_list_header, row});
    }
    hits.push_back({335, t + 330, 535, t + 351, hit_id::dialog_sound, 0});
    hits.push_back({565, t + 330, 765, t + 351, hit_id::dialog_music, 0});
    hits.push_back({470, t + 357, 722, t + 379, hit_id::dialog_volume, 0});
    hits.push_back({535, buttons_top, 645, buttons_top + 34, hit_id::dialog_cancel, 0});
    hits.push_back({655, buttons_top, 765, buttons_top + 34, hit_id::dialog_save, 0});
    return hits;
}

} // namespace torvane
