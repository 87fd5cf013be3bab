#include "ui/ui_state.hpp"

#include "core/threads.hpp"
#include "platform/result.hpp"
#include "render/images.hpp"
#include "ui/countdown.hpp"
#include "ui/layout.hpp"
#include "ui/motion.hpp"

#include <bit>
#include <functional>
#include <random>
#include <thread>

namespace torvane {

namespace {

// More entries than the main screen ever shows at once; reaching it means the texts keep
// changing, so the old ones are let go.
constexpr std::size_t text_cache_limit = 512;

std::uint64_t system_random_seed()
{
    std::random_device device;
    return std::uint64_t{device()} << 32 | device();
}

// The hero: an override that does not decode falls back to the built-in image, and a built-in
// image that does not decode either to a transparent 16 x 16 one.
Pixmap load_hero(const std::filesystem::path& base_dir)
{
    std::vector<std::uint8_t> bytes = load_media_asset(base_dir, hero_image_name, built_in_hero_image());
    if (std::optional<Pixmap> image = decode_webp(bytes))
        return std::move(*image);
    if (std::optional<Pixmap> image = decode_webp(built_in_hero_image()))
        return std::move(*image);
    return Pixmap::create_or_die(16, 16);
}

Pixmap load_png_asset(const std::filesystem::path& base_dir, std::string_view name, std::span<const std::uint8_t> built_in)
{
    std::vector<std::uint8_t> bytes = load_media_asset(base_dir, name, built_in);
    if (std::optional<Pixmap> image = decode_png(bytes))
        return std::move(*image);
    if (std::optional<Pixmap> image = decode_png(built_in))
        return std::move(*image);
    fatal("imagem embutida ilegível");
}

} // namespace

const Font& face_font(const FontSet& fonts, TextFace face)
{
    switch (face) {
    case TextFace::ManropeRegular: return fonts.manrope_regular;
    case TextFace::ManropeMedium: return fonts.manrope_medium;
    case TextFace::ManropeSemiBold: return fonts.manrope_semibold;
    case TextFace::ManropeBold: return fonts.manrope_bold;
    case TextFace::UrbanistBold: return fonts.urbanist_bold;
    case TextFace::UrbanistExtraBold: return fonts.urbanist_extrabold;
    case TextFace::Fallback: return fonts.fallback ? *fonts.fallback : fonts.manrope_regular;
    }
    return fonts.manrope_regular;
}

ShapedText shape_text(const FontSet& fonts, TextFace face, float size, float extra_spacing, std::string_view text,
    Figures figures)
{
    return ShapedText{std::string(text), face, shape_run(face_font(fonts, face), size, extra_spacing, text, figures)};
}

std::size_t ShapedTextCache::KeyHash::operator()(const Key& key) const
{
    std::size_t hash = std::hash<std::string>{}(key.text);
    auto mix = [&](std::size_t value) { hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2); };
    mix(static_cast<std::size_t>(key.face));
    mix(std::bit_cast<std::uint32_t>(key.size));
    mix(std::bit_cast<std::uint32_t>(key.spacing));
    mix(static_cast<std::size_t>(key.figures));
    return hash;
}

const ShapedRun& cached_run(ShapedTextCache& cache, const FontSet& fonts, TextFace face, float size, float spacing,
    std::string_view text, Figures figures)
{
    ShapedTextCache::Key key{face, size, spacing, figures, std::string(text)};
    if (auto found = cache.runs.find(key); found != cache.runs.end())
        return found->second;
    if (cache.runs.size() >= text_cache_limit)
        cache.runs.clear();
    ShapedRun run = shape_run(face_font(fonts, face), size, spacing, text, figures);
    return cache.runs.emplace(std::move(key), std::move(run)).first->second;
}

std::uint64_t hover_key(std::int32_t id, std::int32_t data)
{
    std::uint32_t kept_data = hover_data_matters(id) ? static_cast<std::uint32_t>(data) : 0;
    return std::uint64_t{static_cast<std::uint32_t>(id)} << 32 | kept_data;
}

namespace {
UiState build_ui_state_from(float scale, const std::filesystem::path& base_dir, DecodedImages images, FontSet fonts);
} // namespace

DecodedImages decode_images(const std::filesystem::path& base_dir)
{
    std::optional<Pixmap> hero;
    std::optional<Pixmap> logo;
    std::jthread hero_thread = spawn_joined([&hero, &base_dir] { hero = load_hero(base_dir); });
    std::jthread logo_thread = spawn_joined(
        [&logo, &base_dir] { logo = load_png_asset(base_dir, logo_image_name, built_in_logo_image()); });
    Pixmap crest = load_png_asset(base_dir, crest_image_name, built_in_crest_image());
    logo_thread.join();
    hero_thread.join();
    return DecodedImages{std::move(*hero), std::move(*logo), std::move(crest)};
}

UiState build_ui_state(float scale, const std::filesystem::path& base_dir)
{
    // The images decode beside the fonts.
    std::optional<DecodedImages> images;
    std::jthread decoding = spawn_joined([&images, &base_dir] { images = decode_images(base_dir); });
    FontSet fonts = load_font_set();
    decoding.join();
    return build_ui_state_from(scale, base_dir, std::move(*images), std::move(fonts));
}

UiState build_ui_state(float scale, const std::filesystem::path& base_dir, DecodedImages images)
{
    return build_ui_state_from(scale, base_dir, std::move(images), load_font_set());
}

namespace {

UiState build_ui_state_from(float scale, const std::filesystem::path& base_dir, DecodedImages images, FontSet fonts)
{
    UiState state;
    state.images.media_dir = base_dir;
    state.images.hero = std::move(images.hero);
    state.images.logo = std::move(images.logo);
    state.images.crest = std::move(images.crest);
    state.fonts = std::move(fonts);
    state.start_instant = std::chrono::steady_clock::now();

    state.main_bar_tween = settled_tween(0, bar_fill_seconds);
    state.thin_bar_tween = settled_tween(0, bar_fill_seconds);
    state.window_mode_tween = settled_tween(state.windowed_on ? 1.0f : 0.0f, toggle_seconds);
    state.sound_tween = settled_tween(0, toggle_seconds);
    state.music_tween = settled_tween(0, toggle_seconds);
    init_sparks(state, system_random_seed());

    set_opening_date(state, default_opening_text);
    apply_scale(state, scale);
    return state;
}

} // namespace

void release_decoded_hero(UiState& state)
{
    state.images.hero = Pixmap::create_or_die(1, 1);
    state.images.hero_released = true;
    state.images.logo = Pixmap::create_or_die(1, 1);
    state.images.crest = Pixmap::create_or_die(1, 1);
    state.images.logo_and_crest_released = true;
}

void ensure_decoded_logo_and_crest(UiState& state)
{
    if (!state.images.logo_and_crest_released)
        return;
    const std::filesystem::path& base_dir = state.images.media_dir;
    state.images.logo = load_png_asset(base_dir, logo_image_name, built_in_logo_image());
    state.images.crest = load_png_asset(base_dir, crest_image_name, built_in_crest_image());
    state.images.logo_and_crest_released = false;
}

void ensure_decoded_hero(UiState& state)
{
    if (!state.images.hero_released)
        return;
    state.images.hero = load_hero(state.images.media_dir);
    state.images.hero_released = false;
}

void drop_ui_state(UiState& state)
{
    // Dropping the channel ends let the background worker finish on its own.
    UiState dropped = std::move(state);
    dropped.render_job_tx.reset();
    dropped.render_frame_rx.reset();
}

} // namespace torvane
