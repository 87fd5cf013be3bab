#include "ui/stage.hpp"

#include "platform/result.hpp"
#include "render/glyph_raster.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"
#include "render/shaping.hpp"
#include "ui/countdown.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"
#include "ui/main_screen.hpp"
#include "ui/motion.hpp"
#include "ui/widgets.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace torvane {

namespace {

constexpr float stage_top = 58;
constexpr float stage_bottom = 536;
constexpr float stage_right = 660;
constexpr float stage_centre_x = 330;
constexpr float counting_content_height = 406.5f;
constexpr std::string_view opened_text = "O servidor est\u00E1 aberto!";
constexpr TextFace display_face = TextFace::UrbanistExtraBold;
constexpr TextFace digit_face = TextFace::UrbanistExtraBold;
constexpr TextFace label_face = TextFace::ManropeRegular;

// Design square of the crest art and the size it is shown at.
constexpr float design_centre = 260;
constexpr float design_to_logical = 270.0f / 520.0f;

float rounded_half_away(float value) { return std::round(value); }

std::int32_t floor_key(float value)
{
    const float f = std::floor(value);
    if (!(f > -2147483648.0f && f < 2147483520.0f))
        return 0;
    return static_cast<std::int32_t>(f);
}

// A polyline of a rune glyph in its own units: u along the ring, v towards the centre.
using Polyline = std::vector<PathPoint>;

std::optional<Path> polyline(const Polyline& points)
{
    PathBuilder builder;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i == 0)
            builder.move_to(points[i].x, points[i].y);
        else
            builder.line_to(points[i].x, points[i].y);
    }
    return builder.finish();
}

// Places a shape given in ring units at the angle on a circle of the radius about the design
// centre: u runs along the ring, v towards the centre.
Transform on_ring(float angle, float radius)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return Transform{-s, c, -c, -s, design_centre + radius * c, design_centre + radius * s};
}

void push_outline(PathBuilder& builder, const std::optional<Path>& path, float width, const Transform& place)
{
    if (std::optional<Path> outline = stroke_outline(path, 3, width, std::nullopt))
        if (std::optional<Path> placed = outline->transformed(place))
            builder.push_path(*placed);
}

void push_diamond(PathBuilder& builder, float half_length, float half_width, const Transform& place)
{
    PathBuilder diamond;
    diamond.move_to(0, -half_length);
    diamond.line_to(half_width, 0);
    diamond.line_to(0, half_length);
    diamond.line_to(-half_width, 0);
    diamond.close();
    if (std::optional<Path> shape = diamond.finish())
        if (std::optional<Path> placed = shape->transformed(place))
            builder.push_path(*placed);
}

std::vector<FilledPath> finish_ring(std::initializer_list<std::pair<PathBuilder*, Color>> parts)
{
    std::vector<FilledPath> ring;
    for (auto [builder, color] : parts)
        if (std::optional<Path> path = builder->finish())
            ring.push_back(FilledPath{std::move(*path), color});
    return ring;
}

// Rotation of a design-square path about the crest centre, scaled into pixels.
Transform ring_transform(float angle, float zoom, float centre_x_px, float centre_y_px)
{
    const float c = std::cos(angle) * zoom;
    const float s = std::sin(angle) * zoom;
    return Transform{c, s, -s, c, centre_x_px - (c * design_centre - s * design_centre),
        centre_y_px - (s * design_centre + c * design_centre)};
}

void fill_ring(Pixmap& target, const std::vector<FilledPath>& ring, const Transform& transform, float opacity)
{
    for (const FilledPath& part : ring)
        fill_path(target, part.path, Paint::solid(part.color.with_alpha_scaled(opacity)), FillRule::Winding, transform);
}

float fraction(float value) { return value - std::floor(value); }

ClipRect stage_clip(float s)
{
    return ClipRect{0, round_to_pixel(stage_top * s), round_to_pixel(stage_right * s), round_to_pixel(stage_bottom * s)};
}

void draw_sparks(UiState& state)
{
    StageTimer timer(RenderStage::Sparks);
    const float s = state.scale;
    const ClipRect clip = stage_clip(s);
    for (std::size_t i = 0; i < state.sparks.size() && i < state.glow_cache.size(); ++i) {
        const Spark& spark = state.sparks[i];
        const GlowSprite& glow = state.glow_cache[i];
        if (!(spark.opacity > 0) || !glow.pixmap)
            continue;
        const float margin = std::ceil(glow.size * 2.5f * 0.5f * 3);
        draw_image_scaled(*glow.pixmap, state.frame_canvas, (spark.drawn_x - margin) * s, (spark.drawn_y - margin) * s,
            1, 1, spark.opacity, ImageBlend::SourceOver, clip);
    }
}

void draw_pill(UiState& state, float pill_top, float since)
{
    const float p = entrance(since / 0.6f);
    if (!(p > 0))
        return;
    const float s = state.scale;
    const float width = stage_pill_width(state);
    const float x = stage_centre_x - width / 2;
    const float y = pill_top + (1 - p) * 12;
    Canvas frame(state.frame_canvas, 0, 0, s);
    if (p < 1) {
        draw_server_badge(state, frame, x, y, width, p);
        return;
    }
    KeyedSprite& sprite = state.stage.badge;
    const std::int32_t key = badge_sprite_key(y, width);
    if (!sprite.pixmap || sprite.key != key) {
        sprite.pixmap = Pixmap::create_or_die(scaled_pixels(width + 24, s), scaled_pixels(51, s));
        sprite.key = key;
        sprite.origin_x = x - 12;
        sprite.origin_y = y - 12;
        Canvas canvas(*sprite.pixmap, sprite.origin_x, sprite.origin_y, s);
        draw_server_badge(state, canvas, x, y, width, 1);
    }
    blend_pixmap_at(state.frame_canvas, *sprite.pixmap, 1, round_to_pixel(sprite.origin_x * s), round_to_pixel(sprite.origin_y * s));
}

void ensure_rune_art(StageSprites& stage)
{
    if (stage.ring_clockwise.empty())
        stage.ring_clockwise = clockwise_rune_ring();
    if (stage.ring_counter_clockwise.empty())
        stage.ring_counter_clockwise = counter_clockwise_rune_ring();
}

void draw_runes(UiState& state, float crest_y, float pill_top, float since)
{
    StageTimer timer(RenderStage::Runes);
    const float progress = since >= 1 ? 1.0f : cubic_bezier(strong_overshoot_curve, since);
    const float opacity = std::clamp(progress, 0.0f, 1.0f);
    if (!(opacity > 0))
        return;
    ensure_rune_art(state.stage);
    const float s = state.scale;
    const float group_scale = 0.85f + 0.15f * progress;
    const float turn = 2 * std::numbers::pi_v<float>;
    const float clockwise = turn * fraction(state.clock / 60);
    const float counter_clockwise = -turn * fraction(state.clock / 90);
    const bool settled = opacity >= 1 && std::fabs(group_scale - 1) <= 1e-4f;

    if (!settled) {
        // The entrance: everything is drawn straight onto the frame under the growing scale.
        const float zoom = design_to_logical * group_scale * s;
        fill_ring(state.frame_canvas, state.stage.ring_clockwise,
            ring_transform(clockwise, zoom, stage_centre_x * s, crest_y * s), opacity);
        fill_ring(state.frame_canvas, state.stage.ring_counter_clockwise,
            ring_transform(counter_clockwise, zoom, stage_centre_x * s, crest_y * s), opacity);
        if (state.emblem_layer) {
            const float half = static_cast<float>(state.emblem_layer->width()) / 2 * group_scale;
            draw_image_scaled(*state.emblem_layer, state.frame_canvas, stage_centre_x * s - half, crest_y * s - half,
                group_scale, group_scale, opacity, ImageBlend::SourceOver, ClipRect{});
        }
        return;
    }

    const std::int32_t key = floor_key((pill_top + 35) * 64);
    const std::uint32_t side = scaled_pixels(290, s);
    std::vector<Pixmap>& sprites = state.stage.rune_sprites;
    if (sprites.empty() || state.stage.rune_key != key || sprites.front().width() != side) {
        sprites.clear();
        sprites.push_back(Pixmap::create_or_die(side, side));
        state.stage.rune_key = key;
    }
    const std::int32_t left = floor_key(185 * s);
    const std::int32_t top = floor_key((crest_y - 145) * s);
    Pixmap& sprite = sprites.front();
    // The still ring art is the sprite's ground, so that one blend puts both on the frame.
    const bool emblem_inside = state.emblem_layer && state.emblem_layer->width() == side && state.emblem_layer->height() == side;
    if (emblem_inside)
        std::copy(state.emblem_layer->pixels().begin(), state.emblem_layer->pixels().end(), sprite.pixels().begin());
    else
        sprite.fill(0);
    const float zoom = design_to_logical * s;
    const float centre_x = stage_centre_x * s - static_cast<float>(left);
    const float centre_y = crest_y * s - static_cast<float>(top);
    fill_ring(sprite, state.stage.ring_clockwise, ring_transform(clockwise, zoom, centre_x, centre_y), 1);
    fill_ring(sprite, state.stage.ring_counter_clockwise, ring_transform(counter_clockwise, zoom, centre_x, centre_y), 1);
    if (state.emblem_layer && !emblem_inside)
        blend_pixmap_at(state.frame_canvas, *state.emblem_layer, 1, left, top);
    blend_pixmap_at(state.frame_canvas, sprite, 1, left, top);
}

} // namespace

PlacedSprite cut_to_content(const Pixmap& pixmap)
{
    std::uint32_t left = pixmap.width();
    std::uint32_t right = 0;
    std::uint32_t top = pixmap.height();
    std::uint32_t bottom = 0;
    for (std::uint32_t y = 0; y < pixmap.height(); ++y) {
        const std::uint32_t* row = pixmap.row(y);
        std::uint32_t first = 0;
        while (first < pixmap.width() && row[first] == 0)
            ++first;
        if (first == pixmap.width())
            continue;
        std::uint32_t last = pixmap.width();
        while (row[last - 1] == 0)
            --last;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y + 1;
    }
    if (left >= right)
        return PlacedSprite{}; // one transparent pixel
    PlacedSprite cut{Pixmap::create_or_die(right - left, bottom - top), static_cast<std::int32_t>(left),
        static_cast<std::int32_t>(top)};
    for (std::uint32_t y = top; y < bottom; ++y)
        std::memcpy(cut.pixels.row(y - top), pixmap.row(y) + left, (right - left) * sizeof(std::uint32_t));
    return cut;
}

namespace {

// Four copies of the glowing logo moved down by 0, 1/4, 2/4 and 3/4 of a pixel.
void ensure_logo_shifts(UiState& state)
{
    std::vector<PlacedSprite>& shifts = state.stage.logo_quarter_shifts;
    if (!shifts.empty() || !state.images.logo_glow)
        return;
    const Pixmap& logo = *state.images.logo_glow;
    for (int quarter = 0; quarter < 4; ++quarter) {
        Pixmap copy = Pixmap::create_or_die(logo.width(), logo.height() + 1);
        draw_image_scaled(logo, copy, 0, static_cast<float>(quarter) * 0.25f, 1, 1, 1, ImageBlend::Replace, ClipRect{});
        // The glow's padding is mostly empty: only the pixels that change what they are laid on are kept.
        shifts.push_back(cut_to_content(copy));
    }
    // The settled logo is drawn from the copies only; the entrance that resamples the glowing
    // logo does not come back before a change of scale makes both anew.
    state.images.logo_glow.reset();
}

void draw_logo(UiState& state, float crest_y, bool crest_settled, float crest_opacity, float group_scale)
{
    StageTimer timer(RenderStage::Logo);
    if (!state.images.logo_scaled || !(crest_opacity > 0))
        return;
    const float s = state.scale;
    const float pad = static_cast<float>(state.images.logo_glow_pad);
    const float logo_height = static_cast<float>(state.images.logo_scaled->height()) / s;
    const float logo_top = crest_y - 60 + (120 - logo_height) / 2 + logo_bob(state.clock);
    // The glowing copy is padded on every side; its left edge lies at x 55.
    const float left_px = 55 * s;
    const float top_px = logo_top * s - pad;

    if (crest_settled) {
        ensure_logo_shifts(state);
        if (state.stage.logo_quarter_shifts.size() == 4) {
            float whole = std::floor(top_px);
            int quarter = static_cast<int>(std::lround((top_px - whole) * 4));
            if (quarter == 4) {
                whole += 1;
                quarter = 0;
            }
            const PlacedSprite& shift = state.stage.logo_quarter_shifts[static_cast<std::size_t>(quarter)];
            blend_pixmap_at(state.frame_canvas, shift.pixels, 1, round_to_pixel(left_px) + shift.x,
                static_cast<std::int32_t>(whole) + shift.y);
            return;
        }
    }
    // During the crest's entrance the logo grows with it about the crest centre.
    if (!state.images.logo_glow)
        return;
    const Pixmap& logo = *state.images.logo_glow;
    const float centre_x = stage_centre_x * s;
    const float centre_y = (logo_top + logo_height / 2) * s;
    const float half_w = static_cast<float>(logo.width()) / 2 * group_scale;
    const float half_h = static_cast<float>(logo.height()) / 2 * group_scale;
    draw_image_scaled(logo, state.frame_canvas, centre_x - half_w, centre_y - half_h, group_scale, group_scale,
        crest_opacity, ImageBlend::SourceOver, ClipRect{});
}

void draw_opened_text(UiState& state, float top, float progress)
{
    const Font& font = face_font(state.fonts, display_face);
    const ShapedRun run = cached_run(state.text_cache, state.fonts, display_face, 26, 0, opened_text);
    const float left = stage_centre_x - run.width / 2;
    const float line = 26 * (font.ascender - font.descender) / font.units_per_em;
    auto draw = [&](Canvas& canvas, float alpha) {
        const ColorStop stops[] = {{0, color_with_alpha(palette::gold_start, alpha)}, {1, color_with_alpha(palette::gold_end, alpha)}};
        draw_glyph_run(canvas, font, left, top + baseline_offset(font, 26), run,
            Paint{linear_gradient_shader(stops, left, top, run.width, line, 135)});
    };
    const float s = state.scale;
    if (progress < 1) {
        Canvas frame(state.frame_canvas, 0, 0, s);
        draw(frame, byte_alpha(progress));
        return;
    }
    // At rest the line is the same every frame: it is shaped and filled once into a sprite.
    KeyedSprite& sprite = state.stage.opened_text;
    const std::int32_t key = floor_key(top * 64);
    if (!sprite.pixmap || sprite.key != key) {
        constexpr float margin = 6;
        sprite.pixmap = Pixmap::create_or_die(scaled_pixels(run.width + 2 * margin, s), scaled_pixels(line + 2 * margin, s));
        sprite.key = key;
        sprite.origin_x = static_cast<float>(round_to_pixel((left - margin) * s)) / s;
        sprite.origin_y = static_cast<float>(round_to_pixel((top - margin) * s)) / s;
        Canvas canvas(*sprite.pixmap, sprite.origin_x, sprite.origin_y, s);
        draw(canvas, byte_alpha(1));
    }
    blend_pixmap_at(state.frame_canvas, *sprite.pixmap, 1, round_to_pixel(sprite.origin_x * s), round_to_pixel(sprite.origin_y * s));
}

std::string countdown_sprite_key(const std::array<float, 4>& widths, float y, const std::string& opening)
{
    std::string key;
    for (float w : widths)
        key += std::to_string(floor_key(w * 64)) + ",";
    key += std::to_string(floor_key(y * 64)) + "|" + opening;
    return key;
}

void draw_countdown_stage(UiState& state, float top, float progress, std::int64_t remaining)
{
    StageTimer timer(RenderStage::Countdown);
    StageSprites& stage = state.stage;
    const std::array<std::string, 4> texts = countdown_texts(remaining);
    for (std::size_t i = 0; i < 4; ++i) {
        if (texts[i] != stage.countdown_texts[i]) {
            stage.countdown_texts[i] = texts[i];
            stage.digit_changed_at[i] = state.clock;
        }
    }
    const std::array<float, 4> widths = countdown_cell_widths(state, texts);
    const float row_width = widths[0] + widths[1] + widths[2] + widths[3] + 27;
    const float left = stage_centre_x - row_width / 2;
    const float s = state.scale;

    if (progress < 1) {
        Canvas frame(state.frame_canvas, 0, 0, s);
        draw_countdown(state, frame, left, top, widths, progress);
    } else {
        const std::string key = countdown_sprite_key(widths, top, state.opening_text);
        if (!stage.countdown_sprite || stage.countdown_key != key) {
            stage.countdown_sprite = Pixmap::create_or_die(scaled_pixels(440, s), scaled_pixels(102, s));
            stage.countdown_key = key;
            stage.countdown_origin_x = 110;
            stage.countdown_origin_y = top - 2;
            Canvas canvas(*stage.countdown_sprite, stage.countdown_origin_x, stage.countdown_origin_y, s);
            draw_countdown(state, canvas, left, top, widths, 1);
        }
        blend_pixmap_at(state.frame_canvas, *stage.countdown_sprite, 1, round_to_pixel(stage.countdown_origin_x * s),
            round_to_pixel(stage.countdown_origin_y * s));
    }

    // The digits drop into place over the panel when they change.
    const Font& font = face_font(state.fonts, digit_face);
    constexpr float digit_top = 10;   // below the cell's top
    constexpr float sprite_height = 40;
    float cell_x = left;
    for (std::size_t i = 0; i < 4; ++i) {
        const float cell = widths[i];
        const float sprite_x = cell_x - 4;
        const float rest_y = top + digit_top;
        // The sprite is blended at whole pixels; its glyphs are placed for the exact position.
        const std::int32_t px = floor_key(sprite_x * s);
        const std::int32_t py = floor_key(rest_y * s);
        const std::int32_t position_key = floor_key(cell * 64) ^ (floor_key(fraction(sprite_x * s) * 64) << 16)
            ^ (floor_key(fraction(rest_y * s) * 64) << 24);
        DigitSprite& sprite = stage.digit_sprites[i];
        if (!sprite.pixmap || sprite.text != texts[i] || sprite.key != position_key) {
            const ShapedRun run = cached_run(state.text_cache, state.fonts, digit_face, 25, 0, texts[i], Figures::Tabular);
            sprite.pixmap = Pixmap::create_or_die(scaled_pixels(cell + 8, s), scaled_pixels(sprite_height, s));
            sprite.text = texts[i];
            sprite.key = position_key;
            sprite.origin_x = static_cast<float>(px) / s;
            sprite.origin_y = static_cast<float>(py) / s;
            Canvas canvas(*sprite.pixmap, sprite.origin_x, sprite.origin_y, s);
            draw_glyph_run(canvas, font, sprite_x + 4 + (cell - run.width) / 2, rest_y + baseline_offset(font, 25), run,
                Paint::solid(palette::text));
        }
        const float since_change = (state.clock - stage.digit_changed_at[i]) / 0.35f;
        const float q = cubic_bezier(ease_out_curve, std::min(since_change, 1.0f));
        const float opacity = progress * (0.3f + 0.7f * q);
        const float drop = (1 - q) * 5;
        blend_pixmap_at(state.frame_canvas, *sprite.pixmap, opacity, px, py - round_to_pixel(drop * s));
        cell_x += cell + 9;
    }
}

void draw_pulse(UiState& state)
{
    if (!state.server_online)
        return;
    const float phase = std::fmod(state.clock - state.online_since, 1.6f) / 1.6f;
    const float cx = state.layout.pulse_x + 16.5f;
    constexpr float cy = 28.5f;
    const Transform transform = Transform::scale(state.scale, state.scale);
    if (phase < 0.7f) {
        const float g = entrance(phase / 0.7f);
        if (std::optional<Path> ring = circle_path(cx, cy, 3.5f + 7 * g))
            fill_path(state.frame_canvas, *ring,
                Paint::solid(color_with_alpha(palette::online, byte_alpha(std::clamp((1 - g) * 0.6f, 0.0f, 1.0f)))),
                FillRule::Winding, transform);
    }
    if (std::optional<Path> dot = circle_path(cx, cy, 3.5f))
        fill_path(state.frame_canvas, *dot, Paint::solid(palette::online), FillRule::Winding, transform);
}

} // namespace

float entrance(float x) { return cubic_bezier(ease_curve, std::isnan(x) ? 0.0f : std::clamp(x, 0.0f, 1.0f)); }

float stage_content_height(const UiState& state, bool opened)
{
    if (!opened)
        return counting_content_height;
    const Font& font = face_font(state.fonts, display_face);
    return 311 + rounded_half_away(font.ascender * 26 / font.units_per_em)
        + rounded_half_away(-font.descender * 26 / font.units_per_em);
}

float stage_pill_top(float content_height) { return (478 - content_height) * 0.5f + stage_top; }

float stage_pill_width(const UiState& state) { return state.layout.subtitle.width() + 42; }

std::int32_t badge_sprite_key(float y, float width)
{
    const auto y_key = static_cast<std::uint32_t>(floor_key(y * 64));
    const auto w_key = static_cast<std::uint32_t>(floor_key(width * 64)) & 0xFFFFFu;
    return static_cast<std::int32_t>(y_key ^ (w_key * 4096u));
}

float logo_bob(float clock)
{
    const float cycles = clock * 0.25f;
    float f = fraction(cycles);
    if (static_cast<std::int64_t>(std::floor(cycles)) % 2 != 0)
        f = 1 - f;
    return cubic_bezier(ease_in_out_curve, f) * 8 - 4;
}

std::vector<FilledPath> clockwise_rune_ring()
{
    // Twenty angular rune letters stand on a circle of radius 211, with small diamonds between.
    const std::vector<Polyline> glyphs[] = {
        {{{0, -7}, {0, 7}}, {{0, -7}, {4, -3}}, {{0, -2}, {4, 2}}},
        {{{-3, -7}, {-3, 7}}, {{-3, -4}, {3, 0}, {-3, 4}}},
        {{{-4, -7}, {4, 7}}, {{4, -7}, {-4, 7}}},
        {{{0, -7}, {0, 7}}, {{-4, 0}, {0, -4}, {4, 0}, {0, 4}, {-4, 0}}},
        {{{0, -7}, {0, 7}}, {{-4, -3}, {0, -7}, {4, -3}}},
    };
    PathBuilder runes;
    PathBuilder diamonds;
    constexpr int count = 20;
    for (int i = 0; i < count; ++i) {
        const float angle = 2 * std::numbers::pi_v<float> * static_cast<float>(i) / count;
        const Transform place = on_ring(angle, 211);
        for (const Polyline& stroke : glyphs[i % 5])
            push_outline(runes, polyline(stroke), 1.8f, place);
        push_diamond(diamonds, 2.6f, 1.6f, on_ring(angle + std::numbers::pi_v<float> / count, 211));
    }
    return finish_ring({{&runes, Color::from_rgba8(0xF2, 0xD2, 0x8A, 190)}, {&diamonds, Color::from_rgba8(0xD9, 0xA8, 0x45, 150)}});
}

std::vector<FilledPath> counter_clockwise_rune_ring()
{
    // Forty-eight fine ticks just inside the dashed green circle, and eight green diamonds.
    PathBuilder ticks;
    PathBuilder diamonds;
    constexpr int tick_count = 48;
    for (int i = 0; i < tick_count; ++i) {
        const float angle = 2 * std::numbers::pi_v<float> * static_cast<float>(i) / tick_count;
        const float length = i % 4 == 0 ? 9.0f : 4.5f;
        push_outline(ticks, polyline({{0, 0}, {0, length}}), 1.4f, on_ring(angle, 186));
    }
    for (int i = 0; i < 8; ++i) {
        const float angle = 2 * std::numbers::pi_v<float> * (static_cast<float>(i) + 0.5f) / 8;
        push_diamond(diamonds, 5.5f, 3.2f, on_ring(angle, 168));
    }
    return finish_ring({{&ticks, Color::from_rgba8(0xD9, 0xA8, 0x45, 110)}, {&diamonds, Color::from_rgba8(0x12, 0xB8, 0x80, 200)}});
}

std::array<float, 4> countdown_cell_widths(UiState& state, const std::array<std::string, 4>& texts)
{
    std::array<float, 4> widths{};
    for (std::size_t i = 0; i < 4; ++i) {
        const float value = cached_run(state.text_cache, state.fonts, digit_face, 25, 0, texts[i], Figures::Tabular).width;
        const float label = cached_run(state.text_cache, state.fonts, label_face, 9.5f, 0.95f, countdown_labels[i]).width;
        widths[i] = std::max(70.0f, std::max(value, label) + 14);
    }
    return widths;
}

void draw_stage(UiState& state, std::int64_t now_ms)
{
    const float since = state.clock - state.intro_start;
    draw_sparks(state);

    const OpeningState opening = opening_state(state.opening_ms, now_ms);
    const float pill_top = stage_pill_top(stage_content_height(state, opening.opened));
    draw_pill(state, pill_top, since);

    const float crest_y = pill_top + 27 + 4 + 4 + 135;
    const float crest_progress = since >= 1 ? 1.0f : cubic_bezier(strong_overshoot_curve, since);
    const float crest_opacity = std::clamp(crest_progress, 0.0f, 1.0f);
    const float group_scale = 0.85f + 0.15f * crest_progress;
    draw_runes(state, crest_y, pill_top, since);
    draw_logo(state, crest_y, crest_opacity >= 1 && std::fabs(group_scale - 1) <= 1e-4f, crest_opacity, group_scale);

    const float text_progress = entrance((since - 0.2f) / 0.7f);
    if (text_progress > 0) {
        const float top = (1 - text_progress) * 12 + pill_top + 311;
        if (opening.opened)
            draw_opened_text(state, top, text_progress);
        else
            draw_countdown_stage(state, top, text_progress, opening.remaining_seconds);
    }
    draw_pulse(state);
}

} // namespace torvane
