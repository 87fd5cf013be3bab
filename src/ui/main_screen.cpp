#include "ui/main_screen.hpp"

#include "render/effects/blur.hpp"
#include "render/glyph_raster.hpp"
#include "render/icons.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"
#include "render/shaping.hpp"
#include "ui/layout.hpp"
#include "ui/motion.hpp"
#include "ui/widgets.hpp"

#include <algorithm>
#include <cmath>
#include <charconv>

namespace torvane {

namespace {

constexpr Color white = Color{1, 1, 1, 1};
constexpr Color play_ink = Color::from_rgba8(0x1A, 0x12, 0x00);
constexpr Color badge_ink = Color::from_rgba8(0xF6, 0xE4, 0xB4);
constexpr Color top_bar_fill = Color::from_rgba8(0x06, 0x0A, 0x09, 199);

// How opaque the panels' own fill is over their frosted glass.
constexpr float panel_fill_alpha = 0.5f;
constexpr float panel_border_alpha = 0.085f;

Color mix(Color a, Color b, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return Color{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

const Font& font_of(const UiState& state, TextFace face) { return face_font(state.fonts, face); }

// Shapes through the state's cache; the copy keeps the run valid when the cache is emptied later.
ShapedRun run_of(UiState& state, TextFace face, float size, float spacing, std::string_view text)
{
    return cached_run(state.text_cache, state.fonts, face, size, spacing, text);
}

constexpr float status_left = 39;
constexpr float percent_right = 611;

void draw_line(Canvas& canvas, UiState& state, TextFace face, float size, float spacing, std::string_view text,
    float x, float top, Color color)
{
    const ShapedRun run = run_of(state, face, size, spacing, text);
    draw_run_at_top(canvas, font_of(state, face), run, x, top, Paint::solid(color));
}

// The top of a line of the face at the size that is centred in a box of the given height.
float centred_top(const UiState& state, TextFace face, float size, float box_top, float box_height)
{
    const Font& font = font_of(state, face);
    const float line = size * (font.ascender - font.descender) / font.units_per_em;
    return box_top + (box_height - line) / 2;
}

// The top of a line of face b whose baseline lies on that of a line of face a at top.
float same_baseline_top(const UiState& state, TextFace a, float size_a, float top, TextFace b, float size_b)
{
    return top + baseline_offset(font_of(state, a), size_a) - baseline_offset(font_of(state, b), size_b);
}

// The minimise bar on the close cross's 10-unit grid.
const IconPath& minimise_icon()
{
    static const IconPath icon = [] {
        PathBuilder builder;
        parse_svg_path(builder, "M0.5 5h9");
        return IconPath{builder.finish(), std::nullopt};
    }();
    return icon;
}

const IconPath& link_icon(const IconSet& icons, LinkKind kind)
{
    switch (kind) {
    case LinkKind::Discord: return icons.chat;
    case LinkKind::Ranking: return icons.trophy;
    case LinkKind::Store: return icons.gem;
    case LinkKind::Settings: return icons.sun;
    case LinkKind::Other: break;
    }
    return icons.globe;
}

// Blends a pixmap whose top-left corner lies at logical (x, y), shifted by pad pixels up and left.
void blend_at_logical(Canvas& canvas, const Pixmap& image, float x, float y, std::uint32_t pad, float opacity = 1)
{
    const auto px = round_to_pixel((x - canvas.origin_x) * canvas.scale) - static_cast<std::int32_t>(pad);
    const auto py = round_to_pixel((y - canvas.origin_y) * canvas.scale) - static_cast<std::int32_t>(pad);
    blend_pixmap_at(*canvas.pixmap, image, opacity, px, py);
}

void draw_panel_box(Canvas& canvas, float x, float y, float w, float h, float radius)
{
    fill_round_rect(canvas, Paint::solid(color_with_alpha(palette::panel, panel_fill_alpha)), x, y, w, h, radius);
    stroke_round_rect(canvas, color_with_alpha(white, panel_border_alpha), x, y, w, h, radius);
}

// The layer of a panel: a cleared pixmap of the panel's pixel size, reused while the size holds.
Pixmap& prepare_layer(std::optional<Pixmap>& layer, float scale, float w, float h)
{
    const std::uint32_t width = scaled_pixels(w, scale);
    const std::uint32_t height = scaled_pixels(h, scale);
    if (!layer || layer->width() != width || layer->height() != height)
        layer = Pixmap::create_or_die(width, height);
    else
        layer->fill(0);
    return *layer;
}

bool layer_fits(const std::optional<Pixmap>& layer, float scale, float w, float h)
{
    return layer && layer->width() == scaled_pixels(w, scale) && layer->height() == scaled_pixels(h, scale);
}

void draw_links(UiState& state, Canvas& canvas)
{
    for (std::size_t i = 0; i < state.links.size(); ++i) {
        const LinkEntry& entry = state.links[i];
        const float t = hover_amount(state, hit_id::link, static_cast<std::int32_t>(i));
        fill_round_rect(canvas, Paint::solid(color_with_alpha(white, byte_alpha(0.045f + 0.075f * t))), entry.x,
            title_button_top, entry.width, 32, 8);
        if (t > 0)
            stroke_round_rect(canvas, color_with_alpha(white, byte_alpha(0.1f * t)), entry.x, title_button_top, entry.width, 32, 8);
        draw_icon(canvas, link_icon(state.icons, entry.kind), entry.x + 13, title_button_top + 8, 16, icon_grid,
            mix(palette::gold, palette::pale_gold, t), 1.6f);
        const float top = centred_top(state, entry.shaped_label.face, entry.shaped_label.size(), title_button_top, 32);
        draw_text_at_top(canvas, state.fonts, entry.shaped_label, entry.x + 36, top, mix(palette::secondary, palette::text, t));
    }
}

void draw_status_pill(UiState& state, Canvas& canvas)
{
    const MainLayout& layout = state.layout;
    fill_round_rect(canvas, Paint::solid(color_with_alpha(white, 8 / 255.0f)), layout.badge_x, title_button_top,
        layout.badge_width, 32, 16);
    stroke_round_rect(canvas, color_with_alpha(white, 33 / 255.0f), layout.badge_x, title_button_top, layout.badge_width, 32, 16);
    Color dot = palette::muted;
    Color ink = palette::secondary;
    if (state.server_known) {
        dot = state.server_online ? palette::online : palette::offline;
        ink = dot;
    }
    if (std::optional<Path> circle = circle_path(layout.badge_x + 16.5f, 28.5f, 3.5f))
        fill_path(*canvas.pixmap, *circle, Paint::solid(dot), FillRule::Winding, canvas.transform());
    draw_text_at_top(canvas, state.fonts, layout.status, layout.badge_x + 27, 20, ink);
}

void draw_news(UiState& state, Canvas& canvas)
{
    for (std::size_t i = 0; i < state.news.size(); ++i) {
        const NewsEntry& entry = state.news[i];
        const bool first = i == 0;
        const float content_top = entry.y + (first ? 6.0f : 12.0f);
        if (!first)
            fill_round_rect(canvas, Paint::solid(color_with_alpha(white, 0.06f)), 695, entry.y + 5, 370, 1, 0);
        const float t = hover_amount(state, hit_id::news, static_cast<std::int32_t>(i));
        if (t > 0)
            fill_round_rect(canvas, Paint::solid(color_with_alpha(white, byte_alpha(0.05f * t))), 687, content_top - 5, 386,
                52, 10);

        fill_round_rect(canvas, Paint::solid(color_with_alpha(entry.tag_color, 0.16f)), 695, content_top, entry.tag_pill_width, 20, 6);
        stroke_round_rect(canvas, color_with_alpha(entry.tag_color, 0.42f), 695, content_top, entry.tag_pill_width, 20, 6);
        draw_text_at_top(canvas, state.fonts, entry.tag, 704,
            centred_top(state, entry.tag.face, entry.tag.size(), content_top, 20), mix(entry.tag_color, white, 0.25f));

        const float text_top = content_top + 26;
        draw_text_at_top(canvas, state.fonts, entry.text, 695, text_top, palette::text);
        const float date_top = same_baseline_top(state, entry.text.face, entry.text.size(), text_top, entry.date.face,
            entry.date.size());
        draw_text_at_top(canvas, state.fonts, entry.date, 1065 - entry.date.width(), date_top, palette::muted);
    }
}

void draw_info_rows(UiState& state, Canvas& canvas)
{
    const ShapedRun separator = run_of(state, TextFace::ManropeMedium, 12, 0, "|");
    const Font& separator_font = font_of(state, TextFace::ManropeMedium);
    constexpr float piece_gap = 7;
    for (std::size_t i = 0; i < state.info_rows.size(); ++i) {
        const InfoRow& row = state.info_rows[i];
        const float top = row.y + (i == 0 ? 2.0f : 6.0f);
        if (i > 0)
            fill_round_rect(canvas, Paint::solid(color_with_alpha(white, 0.05f)), 695, row.y + 1.5f, 370, 1, 0);
        draw_text_at_top(canvas, state.fonts, row.shaped_label, 695, top, palette::secondary);

        float total = 0;
        for (const ShapedText& piece : row.shaped_pieces)
            total += piece.width();
        if (row.shaped_pieces.size() > 1)
            total += static_cast<float>(row.shaped_pieces.size() - 1) * (separator.width + 2 * piece_gap);
        float pen = 1065 - total;
        for (std::size_t p = 0; p < row.shaped_pieces.size(); ++p) {
            if (p > 0) {
                pen += piece_gap;
                draw_run_at_top(canvas, separator_font, separator, pen,
                    same_baseline_top(state, row.shaped_pieces[p].face, 12, top, TextFace::ManropeMedium, 12),
                    Paint::solid(palette::muted));
                pen += separator.width + piece_gap;
            }
            draw_text_at_top(canvas, state.fonts, row.shaped_pieces[p], pen, top, palette::text);
            pen += row.shaped_pieces[p].width();
        }
    }
}

void draw_settings_button(UiState& state, Canvas& canvas)
{
    const float t = hover_amount(state, hit_id::settings);
    constexpr float x = 633, y = 590.5f, w = 170, h = 34;
    fill_round_rect(canvas, Paint::solid(color_with_alpha(palette::gold, byte_alpha(0.1f + 0.1f * t))), x, y, w, h, 10);
    stroke_round_rect(canvas, color_with_alpha(palette::gold, byte_alpha(0.32f + 0.25f * t)), x, y, w, h, 10);
    const ShapedRun label = run_of(state, TextFace::ManropeSemiBold, 13, 0, "Configura\u00E7\u00F5es");
    constexpr float icon_size = 15, gap = 8;
    const float left = x + (w - (icon_size + gap + label.width)) / 2;
    draw_icon(canvas, state.icons.sun_small, left, 600, icon_size, icon_grid, palette::pale_gold, 1.8f);
    draw_run_at_top(canvas, font_of(state, TextFace::ManropeSemiBold), label, left + icon_size + gap, 598.5f,
        Paint::solid(palette::text));
}

void draw_play_button(UiState& state, Canvas& canvas, const Mask* bar_mask)
{
    constexpr float x = 825, y = 556, w = 240, h = 72, radius = 14;
    const float t = hover_amount(state, hit_id::play);
    Color ink = palette::muted;
    if (state.play_enabled) {
        draw_shadow(canvas, color_with_alpha(palette::gold, byte_alpha(0.3f + 0.15f * t)), x, y + 4, w, h, radius, 10, bar_mask);
        const ColorStop stops[] = {{0, palette::gold_start}, {1, palette::gold_end}};
        fill_round_rect(canvas, Paint{linear_gradient_shader(stops, x, y, w, h, 135)}, x, y, w, h, radius);
        if (t > 0)
            fill_round_rect(canvas, Paint::solid(color_with_alpha(white, byte_alpha(0.14f * t))), x, y, w, h, radius);
        ink = play_ink;
    } else {
        fill_round_rect(canvas, Paint::solid(color_with_alpha(white, 18 / 255.0f)), x, y, w, h, radius);
        stroke_round_rect(canvas, color_with_alpha(white, 33 / 255.0f), x, y, w, h, radius);
    }

    const ShapedRun word = run_of(state, TextFace::UrbanistExtraBold, 25, 1.5f, "JOGAR");
    constexpr float icon_size = 22, gap = 8, text_top = 569.5f;
    const float left = x + (w - (icon_size + gap + word.width)) / 2;
    const Font& word_font = font_of(state, TextFace::UrbanistExtraBold);
    const float cap_middle = text_top + baseline_offset(word_font, 25) - 25 * 0.35f;
    draw_icon(canvas, state.icons.play, left, cap_middle - icon_size / 2, icon_size, icon_grid, ink, 0);
    draw_run_at_top(canvas, word_font, word, left + icon_size + gap, text_top, Paint::solid(ink));

    const ShapedRun label = run_of(state, TextFace::ManropeSemiBold, 11.5f, 0, state.play_label);
    draw_run_at_top(canvas, font_of(state, TextFace::ManropeSemiBold), label, 945 - label.width / 2, 599.5f,
        Paint::solid(color_with_alpha(ink, 0.85f)));
}

} // namespace

std::string shown_status_label(UiState& state)
{
    float room = percent_right - run_of(state, TextFace::ManropeBold, 15, 0, percent_text(state.percent)).width - 12
        - status_left;
    if (!state.rate_line.empty())
        room -= run_of(state, TextFace::ManropeMedium, 12, 0, state.rate_line).width + 10;
    return ellipsize_to_width(font_of(state, TextFace::ManropeSemiBold), 13, room, state.status_label);
}

std::string percent_text(float percent)
{
    char buffer[64]; // room for the smallest float written out in full
    // Shortest digits that read back as the value, never in exponent form.
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, percent, std::chars_format::fixed).ptr;
    return std::string(buffer, end) + "%";
}

float hover_amount(const UiState& state, std::int32_t id, std::int32_t data)
{
    const auto found = state.hover_fades.find(hover_key(id, data));
    return found == state.hover_fades.end() ? 0.0f : std::clamp(found->second, 0.0f, 1.0f);
}

void draw_run_at_top(Canvas& canvas, const Font& font, const ShapedRun& run, float x, float top, const Paint& paint)
{
    if (run.glyphs.empty())
        return;
    draw_glyph_run(canvas, font, x, top + baseline_offset(font, run.size), run, paint);
}

void draw_text_at_top(Canvas& canvas, const FontSet& fonts, const ShapedText& text, float x, float top, Color color)
{
    draw_run_at_top(canvas, face_font(fonts, text.face), text.run, x, top, Paint::solid(color));
}

void draw_top_bar(UiState& state, Canvas& canvas)
{
    fill_round_rect(canvas, Paint::solid(top_bar_fill), 0, 0, top_bar_width, top_bar_height, 0);
    fill_round_rect(canvas, Paint::solid(color_with_alpha(white, 18 / 255.0f)), 0, 57, top_bar_width, 1, 0);

    if (state.images.crest_glow)
        blend_at_logical(canvas, *state.images.crest_glow, 18, 12, state.images.crest_glow_pad);
    draw_text_at_top(canvas, state.fonts, state.layout.title, 62, 18, palette::text);

    draw_links(state, canvas);
    draw_status_pill(state, canvas);
    draw_icon_button(canvas, minimise_icon(), minimise_button_x, title_button_top, hover_amount(state, hit_id::minimise),
        IconButtonLook::Plain);
    draw_icon_button(canvas, state.icons.close, close_button_x, title_button_top, hover_amount(state, hit_id::close),
        IconButtonLook::Danger);
}

void draw_right_column(UiState& state, Canvas& canvas)
{
    const MainLayout& layout = state.layout;
    const Font& caps_font = font_of(state, TextFace::ManropeBold);

    draw_panel_box(canvas, right_column_x, layout.news_panel_y, right_column_width, layout.news_panel_height, 16);
    draw_caps_label(canvas, caps_font, 695, layout.news_panel_y + 12, 10, "Novidades");
    draw_line(canvas, state, TextFace::UrbanistBold, 17, 0, "\u00DAltimas not\u00EDcias", 695, layout.news_panel_y + 29,
        palette::text);
    const float t = hover_amount(state, hit_id::all_news);
    const Color link_ink = mix(palette::gold, palette::pale_gold, t);
    draw_text_at_top(canvas, state.fonts, layout.all_news, layout.all_news_x, 102, link_ink);
    draw_icon(canvas, state.icons.arrow, 1052, 104, 13, icon_grid, link_ink, 2);
    draw_news(state, canvas);

    draw_panel_box(canvas, right_column_x, layout.info_panel_y, right_column_width, layout.info_panel_height, 16);
    draw_caps_label(canvas, caps_font, 695, layout.info_panel_y + 12, 10, "Servidor");
    draw_line(canvas, state, TextFace::UrbanistBold, 17, 0, "Informa\u00E7\u00F5es", 695, layout.info_panel_y + 29,
        palette::text);
    draw_info_rows(state, canvas);
}

void draw_bottom_bar(UiState& state, Canvas& canvas)
{
    constexpr float x = bottom_bar_x, y = bottom_bar_y, w = bottom_bar_width, h = bottom_bar_height;
    draw_panel_box(canvas, x, y, w, h, 16);
    const ColorStop glow[] = {{0, color_with_alpha(palette::gold_start, 0.13f)}, {0.55f, color_with_alpha(palette::gold_start, 0)}};
    fill_round_rect(canvas, Paint{linear_gradient_shader(glow, x + 1, y + 1, w - 2, h - 2, 135)}, x + 1, y + 1, w - 2,
        h - 2, 15);

    // Status line, transfer rate and percentage share one baseline.
    constexpr float status_top = 558;
    const ShapedRun status = run_of(state, TextFace::ManropeSemiBold, 13, 0, shown_status_label(state));
    draw_run_at_top(canvas, font_of(state, TextFace::ManropeSemiBold), status, status_left, status_top, Paint::solid(palette::text));
    if (!state.rate_line.empty())
        draw_line(canvas, state, TextFace::ManropeMedium, 12, 0, state.rate_line, status_left + status.width + 10,
            same_baseline_top(state, TextFace::ManropeSemiBold, 13, status_top, TextFace::ManropeMedium, 12),
            palette::muted);
    const ShapedRun percent = run_of(state, TextFace::ManropeBold, 15, 0, percent_text(state.percent));
    draw_run_at_top(canvas, font_of(state, TextFace::ManropeBold), percent, percent_right - percent.width,
        same_baseline_top(state, TextFace::ManropeSemiBold, 13, status_top, TextFace::ManropeBold, 15),
        Paint::solid(palette::text));

    draw_progress_bar(canvas, BarGlow::Yes, 583, 9, tween_value(state.main_bar_tween, state.clock) / 100);

    // The file line is the one text drawn with the system's Arial-compatible face when present.
    const Font& file_font = font_of(state, TextFace::Fallback);
    const ShapedRun caption = run_of(state, TextFace::Fallback, 11.5f, 0, "Arquivo: ");
    draw_run_at_top(canvas, file_font, caption, 39, 601, Paint::solid(palette::muted));
    const std::string file = ellipsize_to_width(file_font, 11.5f, 572 - caption.width, state.detail_line);
    draw_line(canvas, state, TextFace::Fallback, 11.5f, 0, file, 39 + caption.width, 601, palette::secondary);

    draw_progress_bar(canvas, BarGlow::No, 621, 5, tween_value(state.thin_bar_tween, state.clock) / 100);

    draw_line(canvas, state, TextFace::ManropeMedium, 12.5f, 0, "Modo janela", 633, 561.5f, palette::secondary);
    draw_toggle(canvas, state.windowed_on, 765, 559.5f, tween_value(state.window_mode_tween, state.clock));

    draw_settings_button(state, canvas);

    std::optional<Mask> bar_mask = Mask::create(canvas.pixmap->width(), canvas.pixmap->height());
    if (bar_mask) {
        if (std::optional<Path> bar = rounded_rect_path(x, y, w, h, 16))
            bar_mask->fill_path(*bar, FillRule::Winding, true, canvas.transform());
    }
    draw_play_button(state, canvas, bar_mask ? &*bar_mask : nullptr);
}

void draw_main_screen(UiState& state)
{
    const float s = state.scale;
    const float right_height = state.layout.right_column_height;
    if (state.top_bar_dirty || !layer_fits(state.top_bar_layer, s, top_bar_width, top_bar_height)) {
        Canvas canvas(prepare_layer(state.top_bar_layer, s, top_bar_width, top_bar_height), top_bar_x, top_bar_y, s);
        draw_top_bar(state, canvas);
        state.top_bar_dirty = false;
    }
    if (state.right_column_dirty || !layer_fits(state.right_column_layer, s, right_column_width, right_height)) {
        Canvas canvas(prepare_layer(state.right_column_layer, s, right_column_width, right_height), right_column_x,
            right_column_y, s);
        draw_right_column(state, canvas);
        state.right_column_dirty = false;
    }
    if (state.texts_dirty || !layer_fits(state.bottom_bar_layer, s, bottom_bar_width, bottom_bar_height)) {
        Canvas canvas(prepare_layer(state.bottom_bar_layer, s, bottom_bar_width, bottom_bar_height), bottom_bar_x,
            bottom_bar_y, s);
        draw_bottom_bar(state, canvas);
        state.texts_dirty = false;
    }
}

void draw_server_badge(const UiState& state, Canvas& canvas, float x, float y, float width, float opacity)
{
    fill_round_rect(canvas, Paint::solid(color_with_alpha(palette::gold, byte_alpha(0.12f * opacity))), x, y, width, 27, 13.5f);
    stroke_round_rect(canvas, color_with_alpha(palette::gold, byte_alpha(0.45f * opacity)), x, y, width, 27, 13.5f);
    if (state.images.crest_scaled) {
        // The crest shrunk to 21 units, centred near the pill's left end.
        constexpr float side = 21;
        const Pixmap& crest = *state.images.crest_scaled;
        const float zoom = side * canvas.scale / static_cast<float>(crest.width());
        draw_image_scaled(crest, *canvas.pixmap, (x + 14 - side / 2 - canvas.origin_x) * canvas.scale,
            (y + 13.5f - side / 2 - canvas.origin_y) * canvas.scale, zoom, zoom, opacity, ImageBlend::SourceOver, ClipRect{});
    }
    const ShapedText& line = state.layout.subtitle;
    draw_run_at_top(canvas, face_font(state.fonts, line.face), line.run, x + 28, y + 6,
        Paint::solid(color_with_alpha(badge_ink, byte_alpha(opacity))));
}

} // namespace torvane
