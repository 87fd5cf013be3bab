#include "ui/layout.hpp"

#include "core/threads.hpp"
#include "core/util.hpp"
#include "platform/unicode.hpp"
#include "render/canvas.hpp"
#include "render/effects/blur.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"
#include "ui/countdown.hpp"
#include "ui/frame.hpp"
#include "ui/motion.hpp"
#include "ui/settings_overlay.hpp"

#include <algorithm>
#include <thread>
#include <array>
#include <cmath>
#include <limits>

namespace torvane {

namespace {

constexpr std::string_view season_line = "ORNHALD Online Season 6 \u00B7 servidor brasileiro";
constexpr std::string_view ellipsis = "\u2026";

constexpr Color gold = Color::from_rgba8(0xD9, 0xA8, 0x45);
constexpr Color pale_gold = Color::from_rgba8(0xF2, 0xD2, 0x8A);
constexpr Color green = Color::from_rgba8(0x12, 0xB8, 0x80);

// Starts of the UTF-8 characters of the text, then its length.
std::vector<std::size_t> character_starts(std::string_view text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    }
    starts.push_back(text.size());
    return starts;
}

std::optional<Pixmap> resized_copy(const Pixmap& image, std::uint32_t width, std::uint32_t height)
{
    return resize_pixmap(image, std::max<std::uint32_t>(width, 1), std::max<std::uint32_t>(height, 1));
}

std::uint32_t rounded_pixels(float value)
{
    float r = std::round(value);
    if (!(r > 0))
        return 0;
    if (r >= 4294967040.0f)
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(r);
}

// The hero's cover fit: where its top-left lies at zoom 1 and its copy at zoom 1.08 in pixels.
void fit_hero(UiState& state)
{
    ensure_decoded_hero(state);
    const Pixmap& hero = state.images.hero;
    float iw = static_cast<float>(hero.width());
    float ih = static_cast<float>(hero.height());
    float fit = std::fmax(logical_width / iw, logical_height / ih);
    state.hero_x = (logical_width - fit * iw) * 0.5f;
    state.hero_y = (logical_height - fit * ih) * 0.3f;
    float zoom = fit * 1.08f;
    state.images.hero_scaled = std::make_shared<const Pixmap>(
        resize_pixmap(hero, scaled_pixels(iw * zoom, state.scale), scaled_pixels(ih * zoom, state.scale)));
}

Color with_alpha8(Color color, std::uint8_t alpha)
{
    color.a = alpha / 255.0f;
    return color;
}

// The shade gradients over the hero, with the ambient glow above them.
void build_background_layer(UiState& state)
{
    float s = state.scale;
    Pixmap layer = Pixmap::create_or_die(state.frame_canvas.width(), state.frame_canvas.height());
    Canvas canvas(layer, 0, 0, s);
    constexpr Color shade = Color::from_rgba8(0x06, 0x0A, 0x09);
    const ColorStop across[] = {{0, with_alpha8(shade, 26)}, {0.55f, with_alpha8(shade, 26)}, {1, with_alpha8(shade, 191)}};
    const ColorStop down[] = {{0, with_alpha8(shade, 140)}, {0.3f, with_alpha8(shade, 38)}, {0.7f, with_alpha8(shade, 140)},
        {1, with_alpha8(shade, 255)}};
    for (auto [stops, angle] : {std::pair{std::span<const ColorStop>(across), 90.0f}, {std::span<const ColorStop>(down), 180.0f}}) {
        Paint paint{linear_gradient_shader(stops, 0, 0, logical_width, logical_height, angle)};
        fill_round_rect(canvas, paint, 0, 0, logical_width, logical_height, 0);
    }

    // The ambient glow is drawn small (an eighth of the scale) over 1580 x 1140 units centred on
    // the window, blurred and laid over the shade: warm light behind the stage, a cool one below
    // the right column.
    float small = s / 8;
    std::uint32_t gw = scaled_pixels(1580, small) + 1;
    std::uint32_t gh = scaled_pixels(1140, small) + 1;
    if (std::optional<Pixmap> glow = Pixmap::create(gw, gh)) {
        Canvas glow_canvas(*glow, -240, -240, small);
        if (std::optional<Path> warm = circle_path(330, 300, 230))
            fill_path(*glow, *warm, Paint::solid(with_alpha8(gold, 46)), FillRule::Winding, glow_canvas.transform());
        if (std::optional<Path> cool = circle_path(930, 600, 200))
            fill_path(*glow, *cool, Paint::solid(with_alpha8(green, 28)), FillRule::Winding, glow_canvas.transform());
        gaussian_blur(*glow, 80 * small);
        draw_image_scaled(*glow, layer, -240 * s, -240 * s, 8, 8, 1, ImageBlend::SourceOver,
            ClipRect{0, 0, static_cast<std::int32_t>(layer.width()), static_cast<std::int32_t>(layer.height())});
    }
    state.background_layer = std::make_shared<const Pixmap>(std::move(layer));
}

void build_image_copies(UiState& state)
{
    ensure_decoded_logo_and_crest(state);
    float s = state.scale;
    ImageSet& images = state.images;

    std::uint32_t crest_side = rounded_pixels(34 * s);
    images.crest_scaled = resized_copy(images.crest, crest_side, crest_side);
    images.crest_glow_pad = rounded_pixels(15 * s);
    const GlowLayer crest_layers[] = {{217 / 255.0f, 168 / 255.0f, 69 / 255.0f, 140 / 255.0f, 5 * s}};
    images.crest_glow = draw_image_glow(*images.crest_scaled, crest_layers, images.crest_glow_pad);

    float iw = static_cast<float>(images.logo.width());
    float ih = static_cast<float>(images.logo.height());
    images.logo_scaled = resized_copy(images.logo, rounded_pixels(430 * s), std::max<std::uint32_t>(rounded_pixels(ih * 430 / iw * s), 1));
    images.logo_glow_pad = rounded_pixels(60 * s);
    const GlowLayer logo_layers[] = {{217 / 255.0f, 168 / 255.0f, 69 / 255.0f, 89 / 255.0f, 15 * s},
        {18 / 255.0f, 184 / 255.0f, 128 / 255.0f, 77 / 255.0f, 5 * s}};
    images.logo_glow = draw_image_glow(*images.logo_scaled, logo_layers, images.logo_glow_pad);
}

void build_spark_sprite(UiState& state)
{
    float s = state.scale;
    std::uint32_t side = scaled_pixels(30, s) + 1;
    std::optional<Pixmap> sprite = Pixmap::create(side, side);
    if (!sprite) {
        state.spark_sprite.reset();
        return;
    }
    float centre = side * 0.5f;
    Transform to_pixels{s, 0, 0, s, centre, centre};
    if (std::optional<Path> disc = circle_path(0, 0, 3)) {
        fill_path(*sprite, *disc, Paint::solid(gold), FillRule::Winding, to_pixels);
        gaussian_blur(*sprite, 4 * s);
        fill_path(*sprite, *disc, Paint::solid(pale_gold), FillRule::Winding, to_pixels);
    }
    state.spark_sprite = std::move(sprite);
}

void stroke_design_path(Pixmap& target, const std::optional<Path>& path, Color color, float width,
    std::optional<std::span<const float>> dash, const Transform& transform)
{
    if (!path)
        return;
    if (!dash) {
        stroke_path(target, *path, Paint::solid(color), Stroke{width}, transform);
        return;
    }
    if (std::optional<Path> outline = stroke_outline(path, transform.mean_scale(), width, dash))
        fill_path(target, *outline, Paint::solid(color), FillRule::Winding, transform);
}

// The crest's still ring art: the 520-unit design square shown 270 units across, centred in a
// sprite of 290 units.
void build_emblem_layer(UiState& state)
{
    float s = state.scale;
    std::uint32_t side = scaled_pixels(290, s);
    std::optional<Pixmap> layer = Pixmap::create(side, side);
    if (!layer) {
        state.emblem_layer.reset();
        return;
    }
    float k = 270.0f / 520.0f * s;
    float centre = 145 * s;
    Transform design{k, 0, 0, k, centre - 260 * k, centre - 260 * k};
    const float short_dash[] = {2, 14};
    const float rune_dash[] = {24, 12, 4, 12};
    stroke_design_path(*layer, circle_path(260, 260, 235), with_alpha8(gold, 140), 1.2f, std::nullopt, design);
    stroke_design_path(*layer, circle_path(260, 260, 226), with_alpha8(pale_gold, 115), 8, short_dash, design);
    stroke_design_path(*layer, circle_path(260, 260, 196), with_alpha8(green, 140), 1.6f, rune_dash, design);
    PathBuilder triangle;
    triangle.move_to(260, 92);
    triangle.line_to(405, 343);
    triangle.line_to(115, 343);
    triangle.close();
    stroke_design_path(*layer, triangle.finish(), with_alpha8(gold, 89), 1.1f, std::nullopt, design);
    state.emblem_layer = std::move(layer);
}

// The sprites made for the old scale; the crest's ring paths and the countdown texts stay.
void drop_scaled_sprites(StageSprites& stage)
{
    stage.badge = KeyedSprite{};
    stage.opened_text = KeyedSprite{};
    stage.rune_sprites.clear();
    stage.logo_quarter_shifts.clear();
    for (DigitSprite& digit : stage.digit_sprites)
        digit = DigitSprite{};
    stage.countdown_sprite.reset();
    stage.countdown_key.clear();
}

void rebuild_glow_cache(UiState& state)
{
    state.glow_cache.resize(spark_count);
    for (int i = 0; i < spark_count; ++i) {
        state.glow_cache[i].size = state.sparks[i].size;
        state.glow_cache[i].color_index = state.sparks[i].color_variant;
    }
    glow_sprite(state.glow_cache, state.scale);
}

} // namespace

std::uint32_t scaled_pixels(float units, float scale)
{
    float value = std::ceil(units * scale);
    if (!(value >= 1))
        return 1;
    if (value >= 4294967040.0f)
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(value);
}

void apply_scale(UiState& state, float scale)
{
    state.scale = scale;
    std::uint32_t width = scaled_pixels(logical_width, scale);
    std::uint32_t height = scaled_pixels(logical_height, scale);
    state.frame_canvas = Pixmap::create_or_die(width, height);
    state.backdrop_canvas = Pixmap::create_or_die(width, height);
    state.background_composite = Pixmap::create_or_die(width, height);
    state.spare_backdrop.reset();
    state.pulse_box_drawn = DirtyRect{};
    state.top_bar_layer.reset();
    state.right_column_layer.reset();
    state.bottom_bar_layer.reset();
    state.glass_patches.clear();
    state.worker_backdrop_shown = false;

    // The worker's size and scale are fixed for its life: let it go, the next frame starts another.
    state.render_job_tx.reset();
    state.render_frame_rx.reset();
    state.job_in_flight = false;
    state.worker_frame_ready = false;
    state.use_worker_frame = false;
    state.last_panels.clear();
    state.last_background_request = -1;

    // The hero's resize, the logo and crest copies with their halos and the shade layer are the
    // costly steps; each writes only its own members, so they run beside each other and the first
    // frame comes that much sooner.
    std::jthread hero = spawn_joined([&state] { fit_hero(state); });
    std::jthread copies = spawn_joined([&state] { build_image_copies(state); });
    // The canvases are new memory that the first frame would fault in page by page; a thread of
    // their own does it now, beside the shade layer drawn here.
    std::jthread faults = spawn_joined([&state] {
        for (Pixmap* canvas : {&state.frame_canvas, &state.backdrop_canvas, &state.background_composite})
            canvas->fill(0);
    });
    build_background_layer(state);
    faults.join();
    copies.join();
    build_spark_sprite(state);
    build_emblem_layer(state);
    drop_scaled_sprites(state.stage);
    rebuild_glow_cache(state);
    hero.join();

    state.redraw_all = true;
    rebuild_ui_model(state);
    rescale_settings_overlay(state);
}

LinkKind link_kind(std::string_view label)
{
    std::string lower = lowercase_text(label);
    if (lower == "loja")
        return LinkKind::Store;
    if (lower == "discord")
        return LinkKind::Discord;
    if (lower == "ranking")
        return LinkKind::Ranking;
    return LinkKind::Other;
}

Color resolve_tag_color(const std::optional<std::string>& color)
{
    if (!color)
        return gold;
    std::string text(platform::trim_unicode_white_space(platform::utf8_lossy(*color)));
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    if (text == "#8B5CF6" || text == "#A78BFA" || text == "#7C3AED")
        return gold;
    if (text == "#3B82F6" || text == "#60A5FA" || text == "#2563EB")
        return green;
    return parse_color(text).value_or(gold);
}

std::vector<std::string> split_info_value(std::string_view value)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t bar = value.find('|', start);
        if (bar == std::string_view::npos)
            bar = value.size();
        std::string_view piece = platform::trim_unicode_white_space(value.substr(start, bar - start));
        if (!piece.empty())
            pieces.emplace_back(piece);
        start = bar + 1;
    }
    return pieces;
}

std::string fit_with_ellipsis(const Font& font, float size, float max_width, std::string_view text)
{
    if (shape_run(font, size, 0, text).width <= max_width)
        return std::string(text);
    std::vector<std::size_t> starts = character_starts(text);
    std::size_t characters = starts.size() - 1;
    if (characters == 0)
        return std::string(ellipsis);
    auto fits = [&](std::size_t count, bool with_ellipsis) {
        std::string candidate(text.substr(0, starts[count]));
        if (with_ellipsis)
            candidate += ellipsis;
        return shape_run(font, size, 0, candidate).width <= max_width;
    };
    // A prefix that does not fit alone cannot fit with the ellipsis after it, so the one-by-one
    // search from the end starts at the longest prefix that fits alone (found by bisection).
    std::size_t low = 0;
    std::size_t high = characters - 1;
    while (low < high) {
        std::size_t middle = (low + high + 1) / 2;
        if (fits(middle, false))
            low = middle;
        else
            high = middle - 1;
    }
    for (std::size_t count = low; count > 0; --count) {
        if (fits(count, true))
            return std::string(text.substr(0, starts[count])) + std::string(ellipsis);
    }
    return std::string(ellipsis);
}

void rebuild_ui_model(UiState& state)
{
    const FontSet& fonts = state.fonts;
    MainLayout& layout = state.layout;

    layout.title = shape_text(fonts, TextFace::UrbanistExtraBold, 15, 0.3f, "TORVANE");
    layout.subtitle = shape_text(fonts, TextFace::ManropeSemiBold, 11.5f, 0, season_line);

    layout.status = shape_text(fonts, TextFace::ManropeBold, 12.5f, 0, state.status_text);
    layout.badge_width = layout.status.width() + 40;
    layout.badge_x = 1090 - 86 - layout.badge_width;
    layout.pulse_x = layout.badge_x;
    layout.links_left = layout.title.width() + 80;
    layout.links_right = layout.badge_x - 18;

    std::vector<LinkEntry> links;
    for (const LauncherLink& configured : state.configured_links) {
        LinkEntry entry;
        entry.label = configured.text.value_or("");
        entry.url = configured.url.value_or("");
        entry.shaped_label = shape_text(fonts, TextFace::ManropeSemiBold, 13.5f, 0, entry.label);
        entry.width = entry.shaped_label.width() + 49;
        entry.kind = link_kind(entry.label);
        entry.clickable = !entry.url.empty();
        links.push_back(std::move(entry));
    }
    LinkEntry settings_entry;
    settings_entry.label = "Op\u00E7\u00F5es";
    settings_entry.shaped_label = shape_text(fonts, TextFace::ManropeSemiBold, 13.5f, 0, settings_entry.label);
    settings_entry.width = settings_entry.shaped_label.width() + 49;
    settings_entry.kind = LinkKind::Settings;
    settings_entry.clickable = true;
    settings_entry.opens_settings = true;
    links.push_back(std::move(settings_entry));
    float row_width = 0;
    for (const LinkEntry& entry : links)
        row_width += entry.width + 2;
    float x = layout.links_left + (layout.links_right - layout.links_left - row_width) / 2;
    for (LinkEntry& entry : links) {
        entry.x = x;
        x += entry.width + 2;
    }

    layout.all_news = shape_text(fonts, TextFace::ManropeSemiBold, 12, 0, "Ver todas");
    layout.all_news_x = all_news_right - layout.all_news.width();

    std::vector<NewsEntry> news;
    float news_span = 0;
    float top = news_first_top;
    for (const LauncherNews& configured : state.configured_news) {
        if (news.size() == 3)
            break;
        NewsEntry entry;
        entry.source = configured;
        entry.tag = shape_text(fonts, TextFace::ManropeBold, 10, 0.4f, configured.tag.value_or(""));
        entry.tag_pill_width = entry.tag.width() + 18;
        entry.date = shape_text(fonts, TextFace::ManropeMedium, 11, 0, configured.date.value_or(""));
        const Font& text_font = face_font(fonts, TextFace::ManropeMedium);
        std::string shown = fit_with_ellipsis(text_font, 12.5f, 360 - entry.date.width(), configured.text.value_or(""));
        entry.text = shape_text(fonts, TextFace::ManropeMedium, 12.5f, 0, shown);
        entry.url = configured.url.value_or("");
        entry.tag_color = resolve_tag_color(configured.color);
        entry.y = top;
        entry.height = news.empty() ? news_first_advance : news_later_advance;
        top += entry.height;
        news_span += entry.height;
        news.push_back(std::move(entry));
    }
    layout.news_panel_y = 70;
    layout.news_panel_height = news_span + 64;
    layout.info_panel_y = layout.news_panel_y + layout.news_panel_height + 10;

    std::vector<InfoRow> rows;
    float info_span = 0;
    float row_top = layout.info_panel_y + 53;
    for (const LauncherInfo& configured : state.configured_info) {
        InfoRow row;
        row.label = configured.label.value_or("");
        row.pieces = split_info_value(configured.value.value_or(""));
        row.shaped_label = shape_text(fonts, TextFace::ManropeMedium, 12, 0, row.label);
        for (const std::string& piece : row.pieces)
            row.shaped_pieces.push_back(shape_text(fonts, TextFace::ManropeSemiBold, 12, 0, piece));
        row.y = row_top;
        float advance = rows.empty() ? 24.0f : 28.0f;
        row_top += advance;
        info_span += advance;
        rows.push_back(std::move(row));
    }
    layout.info_panel_height = info_span + 64;
    layout.right_column_height = layout.info_panel_y + layout.info_panel_height - layout.news_panel_y;

    std::vector<HitRegion> hits;
    for (std::size_t i = 0; i < links.size(); ++i) {
        hits.push_back({links[i].x, title_button_top, links[i].x + links[i].width, title_button_bottom, hit_id::link,
            static_cast<std::int32_t>(i)});
    }
    hits.push_back({minimise_button_x, title_button_top, minimise_button_x + title_button_width, title_button_bottom,
        hit_id::minimise, 0});
    hits.push_back(
        {close_button_x, title_button_top, close_button_x + title_button_width, title_button_bottom, hit_id::close, 0});
    hits.push_back({layout.all_news_x, 102, 1065, 119, hit_id::all_news, 0});
    for (std::size_t i = 0; i < news.size(); ++i)
        hits.push_back({695, news[i].y, 1065, news[i].y + news[i].height, hit_id::news, static_cast<std::int32_t>(i)});
    hits.push_back({633, 559.5f, 803, 580.5f, hit_id::window_mode, 0});
    hits.push_back({633, 590.5f, 803, 624.5f, hit_id::settings, 0});
    hits.push_back({825, 556, 1065, 628, hit_id::play, 0});

    state.links = std::move(links);
    state.news = std::move(news);
    state.info_rows = std::move(rows);
    state.main_hits = std::move(hits);
    state.texts_dirty = true;
    state.main_dirty = true;
    // Every panel shows something of the model.
    state.top_bar_dirty = true;
    state.right_column_dirty = true;
}

void refresh_ui_from_config(UiState& state, const LauncherConfig& config)
{
    set_links_and_news(state, config.links.value_or(std::vector<LauncherLink>{}),
        config.news.value_or(std::vector<LauncherNews>{}), config.info.value_or(std::vector<LauncherInfo>{}),
        config.abertura);
}

void set_links_and_news(UiState& state, std::vector<LauncherLink> links, std::vector<LauncherNews> news,
    std::vector<LauncherInfo> info, std::optional<std::string> opening)
{
    state.configured_links = std::move(links);
    state.configured_news = std::move(news);
    state.configured_info = std::move(info);
    if (opening)
        set_opening_date(state, *opening);
    rebuild_ui_model(state);
}

void set_status(UiState& state, StatusUpdate update)
{
    if (update.label)
        state.status_label = std::move(*update.label);
    if (update.detail)
        state.detail_line = std::move(*update.detail);
    if (update.rate)
        state.rate_line = std::move(*update.rate);
    auto clamp_percent = [](float value) { return std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 100.0f); };
    if (update.thin_bar_percent)
        retarget_tween(state.thin_bar_tween, clamp_percent(*update.thin_bar_percent), state.clock);
    if (update.main_bar_percent) {
        float value = clamp_percent(*update.main_bar_percent);
        retarget_tween(state.main_bar_tween, value, state.clock);
        state.percent = value;
    }
    state.texts_dirty = true;
}

} // namespace torvane
