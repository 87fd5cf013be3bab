// The model of everything the window draws: fonts, icons, images, the canvases, the animation
// clock and tweens, the main screen's texts and lists, the settings dialog's edit model, the hit
// lists and the flags that tell the renderer what changed. Built once on the UI thread and
// changed only there.
#pragma once

#include "core/launcher_config.hpp"
#include "game/option_lists.hpp"
#include "render/color.hpp"
#include "render/effects/blur.hpp"
#include "render/font.hpp"
#include "render/icons.hpp"
#include "render/path.hpp"
#include "render/pixmap.hpp"
#include "render/shaping.hpp"
#include "ui/backdrop.hpp"
#include "ui/ui_state_types.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace torvane {

// The face a shaped text of the model was measured with, so that it is drawn with the same one.
// Fallback is the Arial-compatible system face, or Manrope Regular when there is none.
enum class TextFace { ManropeRegular, ManropeMedium, ManropeSemiBold, ManropeBold, UrbanistBold, UrbanistExtraBold, Fallback };

const Font& face_font(const FontSet& fonts, TextFace face);

// A text shaped once for drawing: the run, the face it was shaped with and the text itself.
struct ShapedText {
    std::string text;
    TextFace face = TextFace::ManropeRegular;
    ShapedRun run;

    float width() const { return run.width; }
    float size() const { return run.size; }
};

// Shapes the text with the face at the size, extra_spacing added after every glyph.
ShapedText shape_text(const FontSet& fonts, TextFace face, float size, float extra_spacing, std::string_view text,
    Figures figures = Figures::Proportional);

// The decoded images and their copies for the current scale.
struct ImageSet {
    Pixmap hero = Pixmap::create_or_die(1, 1); // the background, as decoded
    // The hero was let go once scaled (release_decoded_hero); the next scale decodes it again
    // from the launcher's folder it was read from.
    bool hero_released = false;
    // The logo and the crest were let go the same way (release_decoded_hero).
    bool logo_and_crest_released = false;
    std::filesystem::path media_dir;
    Pixmap logo = Pixmap::create_or_die(1, 1);
    Pixmap crest = Pixmap::create_or_die(1, 1);
    // Cover-fit at zoom 1.08, in pixels of the scale. Never changed once made (a new scale makes a
    // new one), so the background render worker reads the same pixels instead of a copy.
    std::shared_ptr<const Pixmap> hero_scaled;
    std::optional<Pixmap> logo_scaled; // 430 units wide
    std::optional<Pixmap> logo_glow;   // logo_scaled with its halo, padded by logo_glow_pad pixels
    std::optional<Pixmap> crest_scaled; // 34 units square
    std::optional<Pixmap> crest_glow;   // crest_scaled with its halo, padded by crest_glow_pad pixels
    std::uint32_t logo_glow_pad = 0;
    std::uint32_t crest_glow_pad = 0;
};

// One of the sparks rising over the stage.
struct Spark {
    float x = 0;         // base position, logical units
    float y = 0;
    float speed = 0;     // rise, units per second
    float amplitude = 0; // sideways sway, units
    float phase = 0;     // radians
    float age = 0;       // seconds
    float lifetime = 0;  // seconds
    float size = 0;      // glow diameter, logical units
    std::uint8_t color_variant = 0; // 0..2
    float opacity = 0;
    float drawn_x = 0;
    float drawn_y = 0;
};
inline constexpr int spark_count = 22;

// The link buttons' kinds.
enum class LinkKind : std::int32_t { Other = 0, Discord = 1, Ranking = 2, Store = 3, Settings = 4 };

// One button of the top bar's link row (a configured link, or the last one that opens the
// settings dialog).
struct LinkEntry {
    std::string label;
    std::string url;
    float x = 0;     // logical
    float width = 0; // logical
    LinkKind kind = LinkKind::Other;
    bool clickable = false;
    bool opens_settings = false;
    ShapedText shaped_label;
};

// One news item of the right column.
struct NewsEntry {
    LauncherNews source; // as configured
    ShapedText tag;      // "Tag" at 10 with spacing 0.4
    float tag_pill_width = 0;
    ShapedText date;     // "Date" at 11
    ShapedText text;     // "Text" at 12.5, shortened with an ellipsis to fit
    std::string url;
    Color tag_color;
    float y = 0;      // top of the entry
    float height = 0; // its vertical span (up to the next entry's top)
};

// One row of the server information panel.
struct InfoRow {
    std::string label;
    std::vector<std::string> pieces; // the value split at "|", trimmed, empty pieces dropped
    float y = 0;                     // top of the row
    ShapedText shaped_label;         // at 12
    std::vector<ShapedText> shaped_pieces; // at 12
};

// Positions of the main screen that the layout works out from the texts and lists.
struct MainLayout {
    ShapedText title;    // "TORVANE"
    ShapedText subtitle; // the season line, also on the stage's server pill
    ShapedText status;   // status_text on the top bar's badge
    ShapedText all_news; // "Ver todas"
    float badge_x = 0;
    float badge_width = 0;
    // The title band's link row (the window procedure drags the window outside it).
    float links_left = 0;
    float links_right = 0;
    float all_news_x = 0; // left end of "Ver todas"
    float news_panel_y = 70;
    float news_panel_height = 64;
    float info_panel_y = 144;
    float info_panel_height = 64;
    float right_column_height = 138; // news panel, gap and information panel
    float pulse_x = 0;               // left of the status dot's box on the badge
};

// Fixed geometry of the top bar's window buttons.
inline constexpr float title_button_top = 12.5f;
inline constexpr float title_button_bottom = 44.5f;
inline constexpr float minimise_button_x = 1016;
inline constexpr float close_button_x = 1056;
inline constexpr float title_button_width = 34;

// A shaped text kept between frames, found by its font, size, spacing, figures and text.
struct ShapedTextCache {
    struct Key {
        TextFace face;
        float size;
        float spacing;
        Figures figures;
        std::string text;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    std::unordered_map<Key, ShapedRun, KeyHash> runs;
};

// The run for the text, shaped on first use and then taken from the cache. The cache is emptied
// when it grows past a few hundred entries, so changing texts cannot make it grow without end;
// the reference is therefore good only until the next call.
const ShapedRun& cached_run(ShapedTextCache& cache, const FontSet& fonts, TextFace face, float size, float spacing,
    std::string_view text, Figures figures = Figures::Proportional);

// A filled path of the crest art with its colour.
struct FilledPath {
    Path path;
    Color color;
};

// A digit group's sprite of the countdown.
struct DigitSprite {
    std::string text;
    std::int32_t key = 0;
    std::optional<Pixmap> pixmap;
    float origin_x = 0;
    float origin_y = 0;
};

// A sprite with its logical origin and the key it was made for.
struct KeyedSprite {
    std::optional<Pixmap> pixmap;
    std::int32_t key = 0;
    float origin_x = 0;
    float origin_y = 0;
};

// A sprite cut to the pixels it covers, and where it lies in the picture it was cut from.
struct PlacedSprite {
    Pixmap pixels = Pixmap::create_or_die(1, 1);
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// The sprites of the stage, made lazily by the stage drawing and dropped when the scale changes.
struct StageSprites {
    KeyedSprite badge;
    KeyedSprite opened_text; // "O servidor está aberto!" at rest
    std::vector<FilledPath> ring_clockwise;         // 520-unit design square around (260, 260)
    std::vector<FilledPath> ring_counter_clockwise; // same square
    std::vector<Pixmap> rune_sprites;               // ceil(290 s) square each
    std::int32_t rune_key = 0;
    std::vector<PlacedSprite> logo_quarter_shifts;  // four logo copies shifted by quarter pixels
    std::array<std::string, 4> countdown_texts;      // days, hours, minutes, seconds
    std::array<float, 4> digit_changed_at{-10, -10, -10, -10};
    std::array<DigitSprite, 4> digit_sprites;
    std::optional<Pixmap> countdown_sprite; // the countdown panel without its digits
    std::string countdown_key;
    float countdown_origin_x = 0;
    float countdown_origin_y = 0;
};

// A frosted patch of the intro's glass with its opacity.
struct GlassPatch {
    PanelLayer layer;
    float opacity = 1;
};

// The settings dialog's edit model, kept as data while the dialog is open.
inline constexpr int settings_field_count = 5; // window mode, resolution, frame-rate limit, renderer, language
struct SettingsModel {
    std::array<std::vector<OptionChoice>, settings_field_count> options;
    std::array<std::int32_t, settings_field_count> selected{};
    std::optional<std::int32_t> open_field; // the drop-down list that is open
    std::int32_t first_visible_row = 0;
    std::optional<std::int32_t> hovered_option; // an option of the open list under the pointer
    bool sound_on = false;
    bool music_on = false;
    std::int32_t volume = 0; // 0..10
    std::optional<std::string> message;
    bool slider_dragging = false;
    bool saving = false;
    bool settings_dirty = false;
    float opened_at = 0; // clock seconds
    // The last frame drawn showed the dialog at rest: fully faded and popped in, both switch knobs
    // still. Until one has, the dialog keeps drawing frames even when its clock is past them all.
    bool rest_drawn = false;
    // The frame as it was when the dialog opened, its blurred and darkened copy, and the cached
    // dialog pixmap with the part of the dialog that only its message line changes (the base,
    // drawn for dialog_base_message).
    std::optional<Pixmap> sharp_snapshot;
    std::optional<Pixmap> blurred_snapshot;
    std::optional<Pixmap> dialog_pixmap;
    std::optional<Pixmap> dialog_base;
    std::optional<std::string> dialog_base_message;
};

// The default opening time, used until the configuration gives one.
inline constexpr std::string_view default_opening_text = "2026-12-05T20:00:00-03:00";

// Screen modes.
inline constexpr std::int32_t screen_settings = 0;
inline constexpr std::int32_t screen_settings_list = 1;
inline constexpr std::int32_t screen_main = 2;

// One moment for every frame: the steady instant the animation clock counts to and the wall-clock
// time (Unix milliseconds) the countdown shows.
struct FixedMoment {
    std::chrono::steady_clock::time_point instant;
    std::int64_t wall_ms = 0;
};

struct UiState {
    // 1-3. Fonts, icons, images.
    FontSet fonts;
    IconSet icons;
    ImageSet images;

    // 4. The opening target and its display text ("05 de dezembro · 20h").
    std::optional<std::int64_t> opening_ms;
    std::string opening_text;
    // When set, frames read this moment instead of the clocks (freeze_clocks, frame.hpp).
    std::optional<FixedMoment> fixed_moment;

    // 5. Scale and canvases (ceil(1100 s) x ceil(660 s) pixels each).
    float scale = 1;
    Pixmap frame_canvas = Pixmap::create_or_die(1, 1); // presented
    Pixmap backdrop_canvas = Pixmap::create_or_die(1, 1); // the intro's synchronous slideshow
    Pixmap background_composite = Pixmap::create_or_die(1, 1); // backdrop plus frosted panels
    std::optional<Pixmap> spare_backdrop; // the composite last replaced, going back to the worker
    // The pulse box where the last frame drew it: the next one wipes it there (frame.cpp).
    DirtyRect pulse_box_drawn;
    // The shade gradients and the ambient glow over the hero: the backdrop's top layer. Shared
    // with the background render worker as the scaled hero is.
    std::shared_ptr<const Pixmap> background_layer = std::make_shared<const Pixmap>(Pixmap::create_or_die(1, 1));
    float hero_x = 0; // cover-fit offset of the hero at zoom 1, logical units
    float hero_y = 0;
    std::optional<Pixmap> spark_sprite;  // ceil(30 s) + 1 square
    std::optional<Pixmap> emblem_layer;  // the crest's static ring art, ceil(290 s) square around the crest centre
    // The panel layers drawn by the main screen, positioned at their panels' logical origins.
    std::optional<Pixmap> top_bar_layer;
    std::optional<Pixmap> right_column_layer;
    std::optional<Pixmap> bottom_bar_layer;
    std::vector<GlassPatch> glass_patches;

    // 6. Glow cache (one sprite per spark, same index) and the background render worker's link.
    std::vector<GlowSprite> glow_cache;
    std::optional<ChannelSender<RenderJob>> render_job_tx;
    std::optional<ChannelReceiver<Pixmap>> render_frame_rx;
    float last_background_request = -1; // clock seconds; negative means never
    std::vector<PanelRect> last_panels;
    bool job_in_flight = false;
    bool worker_frame_ready = false;
    bool use_worker_frame = false;

    // 7. Animation.
    std::chrono::steady_clock::time_point start_instant;
    float clock = 0;      // seconds since start_instant
    float last_clock = 0;
    float intro_start = 1e9f; // above 1e8 means not started
    std::array<Spark, spark_count> sparks{};
    std::uint64_t spark_random = 0; // xorshift state
    Tween main_bar_tween;
    Tween thin_bar_tween;
    Tween window_mode_tween;
    Tween sound_tween;
    Tween music_tween;
    // Hover intensities 0..1 by element (id, data); see same_hover_target for key equality.
    std::unordered_map<std::uint64_t, float> hover_fades;
    StageSprites stage;

    // 8. Pointer and hover.
    float pointer_x = -1;
    float pointer_y = -1;
    std::int32_t hover_id = 0;
    std::int32_t hover_data = 0;

    // 9. Screen mode and the settings dialog.
    std::int32_t screen_mode = screen_main;
    SettingsModel settings;

    // 10. Shaped texts of the main screen's words and digits.
    ShapedTextCache text_cache;

    // 11. Hit lists.
    std::vector<HitRegion> main_hits;
    std::vector<HitRegion> dialog_hits;

    // 12. The main screen's lists and their layout.
    std::vector<LauncherLink> configured_links;
    std::vector<LauncherNews> configured_news;
    std::vector<LauncherInfo> configured_info;
    std::vector<LinkEntry> links;
    std::vector<NewsEntry> news;
    std::vector<InfoRow> info_rows;
    MainLayout layout;

    // 13. Texts.
    std::string status_text = "verificando..."; // the server badge
    std::string status_label = "Preparando...";
    std::string detail_line = "-";
    std::string rate_line;
    std::string play_label = "aguarde...";

    // 14. Numbers and flags.
    float percent = 0;
    bool server_online = false;
    bool server_known = false; // a probe result has arrived
    float online_since = 0;
    bool main_dirty = true;
    // A worker backdrop has been composed since the last change of scale; the intro's canvas
    // and glass are given back then.
    bool worker_backdrop_shown = false;
    bool texts_dirty = true;
    bool top_bar_dirty = true;
    bool right_column_dirty = true;
    bool play_enabled = false;
    bool windowed_on = true;
    bool minimised = false;
    bool redraw_all = true;
};

// The hover_fades key of an element: id and, for list elements, data.
std::uint64_t hover_key(std::int32_t id, std::int32_t data);

// Builds the UI state at the scale: fonts, icons, images (replaceable by files in
// Data/LauncherWeb/media under base_dir), clock, default opening time, canvases and text model.
// A broken embedded font ends the process with "fonte".
UiState build_ui_state(float scale, const std::filesystem::path& base_dir);

// The hero, the logo and the crest as decode_images reads them: from files in
// Data/LauncherWeb/media under the folder, else the built-in images. The three decode beside each
// other; the window starts them before it opens the display.
struct DecodedImages {
    Pixmap hero;
    Pixmap logo;
    Pixmap crest;
};
DecodedImages decode_images(const std::filesystem::path& base_dir);
// As above, with the images already decoded from base_dir.
UiState build_ui_state(float scale, const std::filesystem::path& base_dir, DecodedImages images);

// Releases the state with its canvases and caches; dropping the worker's channel ends it.
void drop_ui_state(UiState& state);

// Lets the decoded hero, logo and crest go: only their copies for the current scale are drawn. A
// later change of scale decodes them again (ensure_decoded_hero, ensure_decoded_logo_and_crest).
void release_decoded_hero(UiState& state);
// Decodes the hero again when it was released.
void ensure_decoded_hero(UiState& state);
// Decodes the logo and the crest again when they were released.
void ensure_decoded_logo_and_crest(UiState& state);

} // namespace torvane
