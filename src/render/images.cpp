#include "render/images.hpp"

#include "core/threads.hpp"

#include "platform/result.hpp"
#include "platform/files.hpp"
#include "render/canvas.hpp"
#include "render/compositing.hpp"

#include <png.h>
#include <webp/decode.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#define TORVANE_MEDIA(symbol)                                                                        \
    extern "C" const unsigned char symbol[];                                                         \
    extern "C" const unsigned char symbol##_end[];                                                   \
    static std::span<const std::uint8_t> symbol##_bytes()                                            \
    {                                                                                                \
        return {symbol, static_cast<std::size_t>(symbol##_end - symbol)};                            \
    }

TORVANE_MEDIA(media_hero_torvane)
TORVANE_MEDIA(media_logo_torvane)
TORVANE_MEDIA(media_crest_torvane)
TORVANE_MEDIA(window_icon_16)
TORVANE_MEDIA(window_icon_24)
TORVANE_MEDIA(window_icon_32)
TORVANE_MEDIA(window_icon_48)
TORVANE_MEDIA(window_icon_64)
TORVANE_MEDIA(window_icon_128)
TORVANE_MEDIA(window_icon_256)

namespace torvane {

namespace {

// Float to signed 32-bit the saturating way: NaN gives 0.
std::int64_t saturating_int(float value)
{
    if (std::isnan(value))
        return 0;
    if (value <= static_cast<float>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (value >= static_cast<float>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int64_t>(value);
}

struct Span {
    std::int64_t begin;
    std::int64_t end;
};

// The destination pixels covered along one axis, inside the clip and the destination.
Span drawn_span(float position, float extent, std::int32_t clip_begin, std::int32_t clip_end, std::uint32_t size)
{
    std::int64_t lo = std::max<std::int64_t>(clip_begin, 0);
    std::int64_t hi = std::max<std::int64_t>(lo, std::min<std::int64_t>(clip_end, size));
    std::int64_t begin = std::clamp(saturating_int(std::floor(position)), lo, hi);
    std::int64_t end = std::clamp(saturating_int(std::ceil(position + extent)), lo, hi);
    return {begin, end};
}

// Interpolation data of one destination column (or row).
struct Sample {
    std::uint32_t index0;
    std::uint32_t index1;
    std::uint32_t fraction; // 0..256, the weight of index1
    std::uint32_t coverage; // 0..256
};

std::vector<Sample> samples_for(Span span, float position, float scale, std::uint32_t source_size)
{
    std::vector<Sample> samples;
    samples.reserve(static_cast<std::size_t>(span.end - span.begin));
    float far_edge = position + static_cast<float>(source_size) * scale;
    std::int64_t last = std::int64_t{source_size} - 1;
    for (std::int64_t p = span.begin; p < span.end; ++p) {
        float pf = static_cast<float>(p);
        float u = (pf + 0.5f - position) / scale - 0.5f;
        float base = std::floor(u);
        std::int64_t i = saturating_int(base);
        float weight = std::round((u - base) * 256.0f);
        std::uint32_t fraction = weight >= 0 ? static_cast<std::uint32_t>(std::min(weight, 256.0f)) : 0; // NaN gives 0
        float covered = std::min(pf + 1.0f, far_edge) - std::max(position, pf);
        covered = std::isnan(covered) ? 0.0f : std::clamp(covered, 0.0f, 1.0f);
        samples.push_back(Sample{
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(i, 0, last)),
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(i + 1, 0, last)),
            fraction,
            static_cast<std::uint32_t>(std::round(covered * 256.0f)),
        });
    }
    return samples;
}

// Images of more pixels than this are enlarged in bands of rows on threads of their own.
constexpr std::size_t banded_enlarge_pixels = std::size_t{1} << 20;
constexpr std::uint32_t enlarge_band_count = 4;

Pixmap enlarge(const Pixmap& source, Pixmap target, float sx, float sy)
{
    const PixmapPaint paint{1, BlendMode::Source, FilterQuality::Bicubic};
    const std::uint32_t bands = std::min(enlarge_band_count, target.height());
    if (target.pixel_count() < banded_enlarge_pixels || bands < 2) {
        draw_pixmap(target, 0, 0, source, paint, Transform::scale(1 / sx, 1 / sy));
        return target;
    }
    // Each band is drawn into a pixmap of its own rows, moved up by its top row, and copied into
    // place. The filter reads the same source around each pixel either way; only cairo's own
    // rounding of where a band's first row samples may differ, by one level at most.
    std::vector<std::jthread> workers;
    workers.reserve(bands);
    for (std::uint32_t band = 0; band < bands; ++band) {
        const std::uint32_t top = static_cast<std::uint32_t>(std::uint64_t{target.height()} * band / bands);
        const std::uint32_t bottom = static_cast<std::uint32_t>(std::uint64_t{target.height()} * (band + 1) / bands);
        workers.push_back(spawn_joined([&source, &target, &paint, sx, sy, top, bottom] {
            Pixmap rows = Pixmap::create_or_die(target.width(), bottom - top);
            draw_pixmap(rows, 0, 0, source, paint, Transform{1 / sx, 0, 0, 1 / sy, 0, -static_cast<float>(top)});
            std::memcpy(target.row(top), rows.row(0), rows.pixel_count() * sizeof(std::uint32_t));
        }));
    }
    workers.clear();
    // The rows were written directly; cairo must not keep an older view of them.
    (void)target.pixels();
    return target;
}

Pixmap shrink(const Pixmap& source, Pixmap target, float sx, float sy)
{
    const float source_width = static_cast<float>(source.width());
    const float source_height = static_cast<float>(source.height());
    struct Cover {
        std::uint32_t first;
        std::uint32_t last; // exclusive
        float begin;
        float end;
    };
    auto covers = [](std::uint32_t count, float step, float limit, std::uint32_t source_count) {
        std::vector<Cover> list(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            float begin = static_cast<float>(i) * step;
            float end = std::min(static_cast<float>(i + 1) * step, limit);
            auto first = static_cast<std::uint32_t>(std::clamp(std::floor(begin), 0.0f, limit));
            std::uint32_t last = first;
            while (last < source_count && static_cast<float>(last) < end)
                ++last;
            list[i] = Cover{first, last, begin, end};
        }
        return list;
    };
    auto weight = [](std::uint32_t i, const Cover& c) {
        float f = static_cast<float>(i);
        return std::max(0.0f, std::min(f + 1.0f, c.end) - std::max(f, c.begin));
    };
    std::vector<Cover> columns = covers(target.width(), sx, source_width, source.width());
    std::vector<Cover> rows = covers(target.height(), sy, source_height, source.height());

    // The box filter is separable: each source row is first reduced to the target's columns, then
    // the rows of a target row are added with their own weights.
    const std::uint32_t width = target.width();
    std::vector<std::uint32_t> weight_start(width + 1, 0);
    std::vector<float> column_weights;
    std::vector<float> column_totals(width, 0);
    for (std::uint32_t x = 0; x < width; ++x) {
        const Cover& column = columns[x];
        for (std::uint32_t i = column.first; i < column.last; ++i) {
            column_weights.push_back(weight(i, column));
            column_totals[x] += column_weights.back();
        }
        weight_start[x + 1] = static_cast<std::uint32_t>(column_weights.size());
    }
    std::vector<float> sums(std::size_t{width} * 4);
    // A source row reduced to the target's columns; consecutive target rows share at most one source
    // row, which is kept.
    std::vector<float> reduced(std::size_t{width} * 4);
    std::vector<float> kept(std::size_t{width} * 4);
    std::uint32_t kept_row = std::numeric_limits<std::uint32_t>::max();
    auto reduce_row = [&](std::uint32_t j, std::vector<float>& into) {
        const std::uint32_t* line = source.row(j);
        for (std::uint32_t x = 0; x < width; ++x) {
            float r0 = 0, r1 = 0, r2 = 0, r3 = 0;
            const std::uint32_t* pixels = line + columns[x].first;
            const float* weights = column_weights.data() + weight_start[x];
            const std::uint32_t taps = weight_start[x + 1] - weight_start[x];
            for (std::uint32_t k = 0; k < taps; ++k) {
                std::uint32_t p = pixels[k];
                float w = weights[k];
                r0 += static_cast<float>(p & 0xFF) * w;
                r1 += static_cast<float>((p >> 8) & 0xFF) * w;
                r2 += static_cast<float>((p >> 16) & 0xFF) * w;
                r3 += static_cast<float>(p >> 24) * w;
            }
            float* r = &into[std::size_t{x} * 4];
            r[0] = r0;
            r[1] = r1;
            r[2] = r2;
            r[3] = r3;
        }
    };
    auto out = target.pixels();
    for (std::uint32_t y = 0; y < target.height(); ++y) {
        const Cover& row = rows[y];
        std::fill(sums.begin(), sums.end(), 0.0f);
        float row_total = 0;
        for (std::uint32_t j = row.first; j < row.last; ++j) {
            float wy = weight(j, row);
            row_total += wy;
            const std::vector<float>* line = &kept;
            if (j != kept_row) {
                reduce_row(j, reduced);
                line = &reduced;
                if (j + 1 == row.last) {
                    std::swap(reduced, kept);
                    kept_row = j;
                    line = &kept;
                }
            }
            const float* r = line->data();
            for (std::size_t k = 0; k < sums.size(); ++k)
                sums[k] += r[k] * wy;
        }
        for (std::uint32_t x = 0; x < width; ++x) {
            float total = column_totals[x] * row_total;
            const float* sum = &sums[std::size_t{x} * 4];
            std::uint32_t word = 0;
            for (int c = 0; c < 4; ++c) {
                float value = std::round(sum[c] / std::max(total, 0.000001f));
                word |= static_cast<std::uint32_t>(std::clamp(value, 0.0f, 255.0f)) << (8 * c);
            }
            out[std::size_t{y} * width + x] = word;
        }
    }
    return target;
}

} // namespace

std::span<const std::uint8_t> built_in_hero_image() { return media_hero_torvane_bytes(); }
std::span<const std::uint8_t> built_in_logo_image() { return media_logo_torvane_bytes(); }
std::span<const std::uint8_t> built_in_crest_image() { return media_crest_torvane_bytes(); }

std::span<const WindowIconImage> built_in_window_icons()
{
    static const std::array<WindowIconImage, 7> icons{{
        {16, window_icon_16_bytes()},
        {24, window_icon_24_bytes()},
        {32, window_icon_32_bytes()},
        {48, window_icon_48_bytes()},
        {64, window_icon_64_bytes()},
        {128, window_icon_128_bytes()},
        {256, window_icon_256_bytes()},
    }};
    return icons;
}

std::vector<std::uint8_t> load_media_asset(const std::filesystem::path& base_dir, std::string_view name,
    std::span<const std::uint8_t> built_in)
{
    std::filesystem::path file = base_dir / "Data" / "LauncherWeb" / "media" / std::filesystem::path(std::string(name));
    if (auto bytes = platform::read_file(file, platform::image_read_limit); bytes && !bytes->empty())
        return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
    return std::vector<std::uint8_t>(built_in.begin(), built_in.end());
}

namespace {

// Straight RGBA bytes to a premultiplied word, each colour channel becoming (c * a + 127) / 255.
inline std::uint32_t premultiplied_word(const std::uint8_t* p)
{
    std::uint32_t a = p[3];
    std::uint32_t r = (p[0] * a + 127) / 255;
    std::uint32_t g = (p[1] * a + 127) / 255;
    std::uint32_t b = (p[2] * a + 127) / 255;
    return pixel_word(r, g, b, a);
}

// A pixmap whose words hold straight RGBA bytes (as a decoder wrote them) made premultiplied
// words in place: a decoder writes straight into the pixmap, with no second image in memory.
void premultiply_in_place(Pixmap& pixmap)
{
    std::span<std::uint32_t> words = pixmap.pixels();
    for (std::uint32_t& word : words) {
        std::uint8_t bytes[4];
        std::memcpy(bytes, &word, 4);
        word = premultiplied_word(bytes);
    }
}

std::uint8_t* pixel_bytes(Pixmap& pixmap) { return reinterpret_cast<std::uint8_t*>(pixmap.pixels().data()); }

} // namespace

std::optional<Pixmap> pixmap_from_rgba(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba)
{
    auto pixmap = Pixmap::create(width, height);
    if (!pixmap)
        return std::nullopt;
    auto out = pixmap->pixels();
    std::size_t count = std::min(out.size(), rgba.size() / 4);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = premultiplied_word(rgba.data() + i * 4);
    return pixmap;
}

std::optional<Pixmap> decode_webp(std::span<const std::uint8_t> bytes)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK)
        return std::nullopt;
    if (features.width <= 0 || features.height <= 0)
        return std::nullopt;
    auto width = static_cast<std::uint32_t>(features.width);
    auto height = static_cast<std::uint32_t>(features.height);
    std::size_t size = 0;
    if (__builtin_mul_overflow(std::size_t{width} * 4, std::size_t{height}, &size) || width > Pixmap::max_width)
        return std::nullopt;
    // Images without alpha decode with alpha 255.
    std::optional<Pixmap> pixmap = Pixmap::create(width, height);
    if (!pixmap)
        return std::nullopt;
    if (!WebPDecodeRGBAInto(bytes.data(), bytes.size(), pixel_bytes(*pixmap), size, static_cast<int>(width * 4)))
        return std::nullopt;
    premultiply_in_place(*pixmap);
    return pixmap;
}

std::optional<Pixmap> decode_png(std::span<const std::uint8_t> bytes)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return std::nullopt;
    image.format = PNG_FORMAT_RGBA;
    std::size_t size = 0;
    if (image.width == 0 || image.height == 0 || image.width > Pixmap::max_width
        || __builtin_mul_overflow(std::size_t{image.width} * 4, std::size_t{image.height}, &size)) {
        png_image_free(&image);
        return std::nullopt;
    }
    std::optional<Pixmap> pixmap = Pixmap::create(image.width, image.height);
    if (!pixmap) {
        png_image_free(&image);
        return std::nullopt;
    }
    const auto row_bytes = static_cast<png_int_32>(image.width * 4);
    if (!png_image_finish_read(&image, nullptr, pixel_bytes(*pixmap), row_bytes, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    premultiply_in_place(*pixmap);
    return pixmap;
}

std::vector<std::uint8_t> encode_png(const Pixmap& pixmap)
{
    std::vector<std::uint8_t> rgba(pixmap.pixel_count() * 4);
    auto pixels = pixmap.pixels();
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        std::uint32_t p = pixels[i];
        std::uint32_t a = pixel_alpha(p);
        auto straight = [a](std::uint32_t c) { return a == 0 ? 0u : std::min(255u, (c * 255 + a / 2) / a); };
        rgba[i * 4 + 0] = static_cast<std::uint8_t>(straight(pixel_red(p)));
        rgba[i * 4 + 1] = static_cast<std::uint8_t>(straight(pixel_green(p)));
        rgba[i * 4 + 2] = static_cast<std::uint8_t>(straight(pixel_blue(p)));
        rgba[i * 4 + 3] = static_cast<std::uint8_t>(a);
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = pixmap.width();
    image.height = pixmap.height();
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr))
        return {};
    std::vector<std::uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr))
        return {};
    out.resize(size);
    return out;
}

Pixmap resize_pixmap(const Pixmap& source, std::uint32_t new_width, std::uint32_t new_height)
{
    Pixmap target = Pixmap::create_or_die(std::max(new_width, 1u), std::max(new_height, 1u));
    if (new_width == 0 || new_height == 0)
        return target;
    float sx = static_cast<float>(source.width()) / static_cast<float>(new_width);
    float sy = static_cast<float>(source.height()) / static_cast<float>(new_height);
    if (sx <= 1 && sy <= 1)
        return enlarge(source, std::move(target), sx, sy);
    return shrink(source, std::move(target), sx, sy);
}

std::uint32_t opacity_to_o256(float opacity)
{
    float clamped = std::isnan(opacity) ? 0.0f : std::clamp(opacity, 0.0f, 1.0f);
    return static_cast<std::uint32_t>(std::round(clamped * 256.0f));
}

struct BandedImageDraw::State {
    const Pixmap& source;
    bool replace = false;
    Span columns{0, 0};
    Span rows{0, 0};
    std::vector<Sample> column_samples;
    std::vector<Sample> row_samples;
    std::uint32_t o256 = 0;
    std::vector<std::uint32_t> column0, column1, fraction, inside, edge;
    // Each source row is mixed across the columns once and kept while the destination rows read
    // it: neighbouring destination rows share a source row unless the image shrinks to less than
    // half its height.
    struct MixedRow {
        std::vector<std::uint32_t> words;
        std::int64_t source_row = -1;
    };
    MixedRow kept[2];

    const std::uint32_t* mixed_row(std::uint32_t source_row, const std::uint32_t* keep)
    {
        for (MixedRow& row : kept)
            if (row.source_row == source_row)
                return row.words.data();
        MixedRow& slot = kept[0].words.data() == keep ? kept[1] : kept[0];
        const ColumnSamples across{column0.data(), column1.data(), fraction.data()};
        mix_columns_row(source.row(source_row), across, slot.words.data(), slot.words.size());
        slot.source_row = source_row;
        return slot.words.data();
    }
};

BandedImageDraw::BandedImageDraw(const Pixmap& source, const Pixmap& destination, float x, float y, float scale_x,
    float scale_y, float opacity, ImageBlend blend, ClipRect clip)
    : state_(std::make_unique<State>(State{source}))
{
    State& d = *state_;
    d.replace = blend == ImageBlend::Replace;
    d.o256 = opacity_to_o256(opacity);
    if (d.o256 == 0)
        return;
    const Span columns = drawn_span(x, static_cast<float>(source.width()) * scale_x, clip.x0, clip.x1, destination.width());
    const Span rows = drawn_span(y, static_cast<float>(source.height()) * scale_y, clip.y0, clip.y1, destination.height());
    if (columns.begin >= columns.end || rows.begin >= rows.end)
        return;
    d.columns = columns;
    d.rows = rows;
    d.column_samples = samples_for(columns, x, scale_x, source.width());
    d.row_samples = samples_for(rows, y, scale_y, source.height());
    // The columns' sources and weights, laid out for the row kernel; the opacity and the edge
    // coverage fold into one factor per pixel: n = o256 inside, ((cc * rc >> 8) * o256) >> 8
    // where a column or the row is partly covered.
    const std::size_t count = d.column_samples.size();
    d.column0.resize(count);
    d.column1.resize(count);
    d.fraction.resize(count);
    d.inside.resize(count);
    d.edge.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Sample& column = d.column_samples[i];
        d.column0[i] = column.index0;
        d.column1[i] = column.index1;
        d.fraction[i] = column.fraction;
        d.inside[i] = column.coverage < 256 ? (((column.coverage * 256) >> 8) * d.o256) >> 8 : d.o256;
    }
    for (State::MixedRow& row : d.kept)
        row.words.resize(count);
}

BandedImageDraw::~BandedImageDraw() = default;

void BandedImageDraw::draw_rows(Pixmap& destination, std::int64_t top, std::int64_t bottom)
{
    State& d = *state_;
    const std::int64_t first = std::max(top, d.rows.begin);
    const std::int64_t last = std::min(bottom, d.rows.end);
    if (d.columns.begin >= d.columns.end || first >= last)
        return;
    const std::size_t count = d.column_samples.size();
    auto out = destination.pixels();
    const std::size_t stride = destination.width();
    for (std::int64_t Y = first; Y < last; ++Y) {
        const Sample& row = d.row_samples[static_cast<std::size_t>(Y - d.rows.begin)];
        const std::uint32_t* coverage = d.inside.data();
        if (row.coverage < 256) {
            for (std::size_t i = 0; i < count; ++i)
                d.edge[i] = (((d.column_samples[i].coverage * row.coverage) >> 8) * d.o256) >> 8;
            coverage = d.edge.data();
        }
        const std::uint32_t* upper = d.mixed_row(row.index0, nullptr);
        const std::uint32_t* lower = d.mixed_row(row.index1, upper);
        const MixedRows kernel{upper, lower, coverage, row.fraction, d.replace};
        mix_rows_row(kernel, out.data() + static_cast<std::size_t>(Y) * stride + d.columns.begin, count);
    }
}

void draw_image_scaled(const Pixmap& source, Pixmap& destination, float x, float y, float scale_x, float scale_y,
    float opacity, ImageBlend blend, ClipRect clip)
{
    BandedImageDraw draw(source, destination, x, y, scale_x, scale_y, opacity, blend, clip);
    draw.draw_rows(destination, 0, destination.height());
}

void blend_pixmap_at(Pixmap& destination, const Pixmap& source, float opacity, std::int32_t x, std::int32_t y,
    ClipRect clip)
{
    std::uint32_t o256 = opacity_to_o256(opacity);
    if (o256 == 0)
        return;
    std::int64_t x_begin = std::max<std::int64_t>({x, 0, clip.x0});
    std::int64_t x_end = std::min<std::int64_t>({std::int64_t{x} + source.width(), destination.width(), clip.x1});
    std::int64_t y_begin = std::max<std::int64_t>({y, 0, clip.y0});
    std::int64_t y_end = std::min<std::int64_t>({std::int64_t{y} + source.height(), destination.height(), clip.y1});
    if (x_begin >= x_end || y_begin >= y_end)
        return;
    auto out = destination.pixels();
    for (std::int64_t Y = y_begin; Y < y_end; ++Y) {
        const std::uint32_t* from = source.row(static_cast<std::uint32_t>(Y - y)) + (x_begin - x);
        std::uint32_t* to = out.data() + static_cast<std::size_t>(Y) * destination.width() + x_begin;
        source_over_row(to, from, static_cast<std::size_t>(x_end - x_begin), o256);
    }
}

} // namespace torvane
