#include "render/font.hpp"

#include "platform/result.hpp"
#include "platform/system_fonts.hpp"
#include "platform/files.hpp"

#include <hb-ot.h>
#include <hb.h>

#include <cmath>
#include <string>

extern "C" {
extern const unsigned char font_manrope_regular[], font_manrope_regular_end[];
extern const unsigned char font_manrope_medium[], font_manrope_medium_end[];
extern const unsigned char font_manrope_semibold[], font_manrope_semibold_end[];
extern const unsigned char font_manrope_bold[], font_manrope_bold_end[];
extern const unsigned char font_urbanist_bold[], font_urbanist_bold_end[];
extern const unsigned char font_urbanist_extrabold[], font_urbanist_extrabold_end[];
}

namespace torvane {

void HbFontDeleter::operator()(hb_font_t* font) const { hb_font_destroy(font); }

namespace {

struct BlobDeleter {
    void operator()(hb_blob_t* blob) const { hb_blob_destroy(blob); }
};
struct FaceDeleter {
    void operator()(hb_face_t* face) const { hb_face_destroy(face); }
};
using BlobPtr = std::unique_ptr<hb_blob_t, BlobDeleter>;
using FacePtr = std::unique_ptr<hb_face_t, FaceDeleter>;

std::uint32_t read_u32(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
std::uint16_t read_u16(const std::uint8_t* p) { return std::uint16_t(p[0] << 8 | p[1]); }

bool known_magic(hb_blob_t* blob)
{
    unsigned length = 0;
    auto* data = reinterpret_cast<const std::uint8_t*>(hb_blob_get_data(blob, &length));
    if (length < 4)
        return false;
    switch (read_u32(data)) {
    case 0x00010000: // TrueType
    case 0x74727565: // "true"
    case 0x4F54544F: // "OTTO"
    case 0x74746366: // "ttcf"
        return true;
    default:
        return false;
    }
}

// The bytes of a required table, or nothing when it is missing or shorter than its fixed part.
BlobPtr required_table(hb_face_t* face, hb_tag_t tag, unsigned min_length)
{
    BlobPtr table(hb_face_reference_table(face, tag));
    if (hb_blob_get_length(table.get()) < min_length)
        return nullptr;
    return table;
}

// Checks the tables every face needs (head, hhea, maxp) and gives units per em, or 0 when the face
// is unusable. HarfBuzz itself accepts anything and shapes garbage as an empty face, so the checks
// are made here.
unsigned checked_units_per_em(hb_face_t* face)
{
    BlobPtr head = required_table(face, HB_TAG('h', 'e', 'a', 'd'), 54);
    if (!head || !required_table(face, HB_TAG('h', 'h', 'e', 'a'), 36) ||
        !required_table(face, HB_TAG('m', 'a', 'x', 'p'), 6))
        return 0;
    auto* bytes = reinterpret_cast<const std::uint8_t*>(hb_blob_get_data(head.get(), nullptr));
    if (read_u32(bytes + 12) != 0x5F0F3CF5) // head.magicNumber
        return 0;
    unsigned units = read_u16(bytes + 18);
    if (units < 16 || units > 16384 || hb_face_get_glyph_count(face) == 0)
        return 0;
    return units;
}

std::optional<Font> font_from_blob(BlobPtr blob)
{
    if (!known_magic(blob.get()) || hb_face_count(blob.get()) == 0)
        return std::nullopt;
    FacePtr face(hb_face_create(blob.get(), 0));
    unsigned units = checked_units_per_em(face.get());
    if (units == 0)
        return std::nullopt;

    Font font;
    font.face.reset(hb_font_create(face.get()));
    // Unscaled: shaping results, metrics and outlines all come out in font units.
    hb_font_set_scale(font.face.get(), int(units), int(units));
    hb_font_make_immutable(font.face.get());
    font.units_per_em = float(units);
    hb_position_t ascender = 0, descender = 0;
    hb_ot_metrics_get_position(font.face.get(), HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &ascender);
    hb_ot_metrics_get_position(font.face.get(), HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &descender);
    font.ascender = float(ascender);
    font.descender = float(descender);
    return font;
}

// A font over bytes read at run time: the blob takes the buffer over and frees it with its last
// reference (the font's).
std::optional<Font> font_from_owned_bytes(std::string bytes)
{
    if (bytes.size() > 0x7FFFFFFF)
        return std::nullopt;
    auto* owned = new std::string(std::move(bytes));
    owned->shrink_to_fit();
    return font_from_blob(BlobPtr(hb_blob_create(owned->data(), unsigned(owned->size()), HB_MEMORY_MODE_READONLY,
                                                 owned, [](void* p) { delete static_cast<std::string*>(p); })));
}

// The outline receiver: forwards each command with its coordinates unchanged (font units).
PathBuilder& sink_of(void* data) { return *static_cast<PathBuilder*>(data); }

hb_draw_funcs_t* path_sink_funcs()
{
    static hb_draw_funcs_t* funcs = [] {
        hb_draw_funcs_t* f = hb_draw_funcs_create();
        hb_draw_funcs_set_move_to_func(
            f, [](hb_draw_funcs_t*, void* data, hb_draw_state_t*, float x, float y, void*) { sink_of(data).move_to(x, y); },
            nullptr, nullptr);
        hb_draw_funcs_set_line_to_func(
            f, [](hb_draw_funcs_t*, void* data, hb_draw_state_t*, float x, float y, void*) { sink_of(data).line_to(x, y); },
            nullptr, nullptr);
        hb_draw_funcs_set_quadratic_to_func(
            f,
            [](hb_draw_funcs_t*, void* data, hb_draw_state_t*, float cx, float cy, float x, float y, void*) {
                sink_of(data).quad_to(cx, cy, x, y);
            },
            nullptr, nullptr);
        hb_draw_funcs_set_cubic_to_func(
            f,
            [](hb_draw_funcs_t*, void* data, hb_draw_state_t*, float c1x, float c1y, float c2x, float c2y, float x,
               float y, void*) { sink_of(data).cubic_to(c1x, c1y, c2x, c2y, x, y); },
            nullptr, nullptr);
        hb_draw_funcs_set_close_path_func(
            f, [](hb_draw_funcs_t*, void* data, hb_draw_state_t*, void*) { sink_of(data).close(); }, nullptr, nullptr);
        hb_draw_funcs_make_immutable(f);
        return f;
    }();
    return funcs;
}

// Nothing when the glyph has no drawable outline (fewer than two commands, or bounds that are
// not finite).
std::optional<Path> outline_glyph(const Font& font, std::uint16_t glyph_id)
{
    PathBuilder sink;
    hb_font_get_glyph_shape(font.face.get(), glyph_id, path_sink_funcs(), &sink);
    return sink.finish();
}

} // namespace

std::span<const std::uint8_t> embedded_font_bytes(EmbeddedFace face)
{
    auto span = [](const unsigned char* begin, const unsigned char* end) {
        return std::span<const std::uint8_t>(begin, std::size_t(end - begin));
    };
    switch (face) {
    case EmbeddedFace::ManropeRegular: return span(font_manrope_regular, font_manrope_regular_end);
    case EmbeddedFace::ManropeMedium: return span(font_manrope_medium, font_manrope_medium_end);
    case EmbeddedFace::ManropeSemiBold: return span(font_manrope_semibold, font_manrope_semibold_end);
    case EmbeddedFace::ManropeBold: return span(font_manrope_bold, font_manrope_bold_end);
    case EmbeddedFace::UrbanistBold: return span(font_urbanist_bold, font_urbanist_bold_end);
    case EmbeddedFace::UrbanistExtraBold: return span(font_urbanist_extrabold, font_urbanist_extrabold_end);
    }
    fatal("embedded_font_bytes: unknown face");
}

std::optional<Font> load_font(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > 0x7FFFFFFF)
        return std::nullopt;
    return font_from_blob(BlobPtr(hb_blob_create(reinterpret_cast<const char*>(bytes.data()), unsigned(bytes.size()),
                                                 HB_MEMORY_MODE_READONLY, nullptr, nullptr)));
}

std::optional<Font> load_font_file(const std::filesystem::path& path)
{
    auto bytes = platform::read_file(path, platform::font_read_limit);
    if (!bytes)
        return std::nullopt;
    return font_from_owned_bytes(std::move(*bytes));
}

float baseline_offset(const Font& font, float size) { return std::round(font.ascender * size / font.units_per_em); }

const Path* glyph_outline(const Font& font, std::uint16_t glyph_id)
{
    auto found = font.glyph_cache.find(glyph_id);
    if (found == font.glyph_cache.end())
        found = font.glyph_cache.emplace(glyph_id, outline_glyph(font, glyph_id)).first;
    return found->second ? &*found->second : nullptr;
}

std::span<const std::filesystem::path> fallback_font_paths() { return platform::arial_compatible_font_paths(); }

std::optional<Font> load_fallback_font(std::span<const std::filesystem::path> candidates)
{
    for (const auto& path : candidates) {
        // The first readable file decides: one that is not a font means no fallback.
        if (auto bytes = platform::read_file(path, platform::font_read_limit))
            return font_from_owned_bytes(std::move(*bytes));
    }
    return std::nullopt;
}

FontSet load_font_set(std::span<const std::filesystem::path> fallback_candidates)
{
    auto embedded = [](EmbeddedFace face) {
        auto font = load_font(embedded_font_bytes(face));
        if (!font)
            fatal("fonte");
        return std::move(*font);
    };
    std::optional<Font> fallback = load_fallback_font(fallback_candidates);
    return FontSet{
        .manrope_regular = embedded(EmbeddedFace::ManropeRegular),
        .manrope_medium = embedded(EmbeddedFace::ManropeMedium),
        .manrope_semibold = embedded(EmbeddedFace::ManropeSemiBold),
        .manrope_bold = embedded(EmbeddedFace::ManropeBold),
        .urbanist_bold = embedded(EmbeddedFace::UrbanistBold),
        .urbanist_extrabold = embedded(EmbeddedFace::UrbanistExtraBold),
        .fallback = std::move(fallback),
    };
}

} // namespace torvane
