// Raster images: where their bytes come from (a replaceable file beside the launcher, else the
// copy built into the program), WebP and PNG decoding into premultiplied pixmaps, resizing, and
// the two integer compositors the screens put images on the frame with.
#pragma once

#include "render/pixmap.hpp"

#include <cstdint>
#include <memory>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace torvane {

// The media built into the program.
std::span<const std::uint8_t> built_in_hero_image();  // "hero-torvane.webp"
std::span<const std::uint8_t> built_in_logo_image();  // "logo-torvane.png"
std::span<const std::uint8_t> built_in_crest_image(); // "crest-torvane.png"
inline constexpr std::string_view hero_image_name = "hero-torvane.webp";
inline constexpr std::string_view logo_image_name = "logo-torvane.png";
inline constexpr std::string_view crest_image_name = "crest-torvane.png";

// One PNG of the window icon set.
struct WindowIconImage {
    std::uint32_t size; // width and height in pixels
    std::span<const std::uint8_t> png;
};
// The window icon at every size it is drawn in, smallest first (16 to 256 pixels).
std::span<const WindowIconImage> built_in_window_icons();

// The bytes of the file named `name` in Data/LauncherWeb/media under base_dir (the launcher's
// folder) when it can be read and is not empty; otherwise a copy of the built-in bytes.
// Nothing is reported either way.
std::vector<std::uint8_t> load_media_asset(const std::filesystem::path& base_dir, std::string_view name,
    std::span<const std::uint8_t> built_in);

// A premultiplied pixmap from straight RGBA bytes (r, g, b, a per pixel), each colour channel
// becoming (c * a + 127) / 255. None when a side is 0, the width exceeds Pixmap::max_width or
// the byte count overflows. Pixels the source is too short for stay transparent.
std::optional<Pixmap> pixmap_from_rgba(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba);

// Decoders of whole files in memory (lossy, lossless and alpha WebP; any PNG). None when the
// data does not decode or the image is too large for a pixmap.
std::optional<Pixmap> decode_webp(std::span<const std::uint8_t> bytes);
std::optional<Pixmap> decode_png(std::span<const std::uint8_t> bytes);
// The PNG file of a pixmap (straight RGBA, 8 bits per channel); an empty vector on failure.
std::vector<std::uint8_t> encode_png(const Pixmap& pixmap);

// A copy of the source at the new size (each side raised to at least 1; a side asked as 0 gives
// that transparent pixmap as it is). Shrinking in either direction averages the covered source
// area; otherwise the source is enlarged with bicubic filtering.
Pixmap resize_pixmap(const Pixmap& source, std::uint32_t new_width, std::uint32_t new_height);

// Opacity in 1/256 steps: round(clamp(opacity, 0, 1) * 256), halves away from zero.
std::uint32_t opacity_to_o256(float opacity);

// Destination pixels a scaled draw may touch: x0, y0 inclusive, x1, y1 exclusive.
struct ClipRect {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = INT32_MAX;
    std::int32_t y1 = INT32_MAX;
};

enum class ImageBlend { Replace, SourceOver };

// Draws the source with its top-left corner at (x, y) destination pixels, stretched by the two
// scales, with bilinear interpolation, anti-aliased edges and opacity, inside the clip.
// Replace writes the result over the destination pixels, transparent or not.
void draw_image_scaled(const Pixmap& source, Pixmap& destination, float x, float y, float scale_x, float scale_y,
    float opacity, ImageBlend blend, ClipRect clip);

// The same draw laid down a band of rows at a time, so that the caller can work on each band
// while it is still in the cache: the columns' sampling is worked out once for all the bands, and
// the source rows mixed for one band serve the next. Drawing every row, in bands of any size,
// gives draw_image_scaled's pixels. The source must outlive the draw.
class BandedImageDraw {
public:
    BandedImageDraw(const Pixmap& source, const Pixmap& destination, float x, float y, float scale_x, float scale_y,
        float opacity, ImageBlend blend, ClipRect clip);
    ~BandedImageDraw();
    BandedImageDraw(const BandedImageDraw&) = delete;
    BandedImageDraw& operator=(const BandedImageDraw&) = delete;
    // Draws the destination rows from top up to bottom (exclusive) that the draw covers, into the
    // destination of the size given at the start.
    void draw_rows(Pixmap& destination, std::int64_t top, std::int64_t bottom);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Composites the source source-over with its top-left corner at the pixel (x, y), which may be
// negative; the part outside the destination or the clip is skipped. Each pixel is blended on its
// own, so the pixels inside the clip are those of the unclipped blend.
void blend_pixmap_at(Pixmap& destination, const Pixmap& source, float opacity, std::int32_t x, std::int32_t y,
    ClipRect clip = {});

} // namespace torvane
