// Typefaces: parsed faces ready for shaping, their layout metrics and a cache of glyph outlines.
#pragma once

#include "render/path.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

struct hb_font_t;

namespace torvane {

struct HbFontDeleter {
    void operator()(hb_font_t* font) const;
};

// One face. Built once and used on the UI thread only. Move-only.
struct Font {
    // The shaping font, left at a scale of units_per_em so that every position it gives is in
    // font units. It refers to the font bytes (or owns them, for a font read from a file).
    std::unique_ptr<hb_font_t, HbFontDeleter> face;
    // Outline per glyph id in font units (y pointing up, as the font stores it), filled on first
    // draw and used for every size; an empty entry records a glyph without an outline (a space)
    // so that it is not outlined again. Only grows.
    mutable std::unordered_map<std::uint16_t, std::optional<Path>> glyph_cache;
    float units_per_em = 0;
    float ascender = 0;  // font units
    float descender = 0; // font units, negative
};

// The typefaces compiled into the program, in the order of FontSet's members.
enum class EmbeddedFace { ManropeRegular, ManropeMedium, ManropeSemiBold, ManropeBold, UrbanistBold, UrbanistExtraBold };
inline constexpr int embedded_face_count = 6;
// The bytes of an embedded face (static data).
std::span<const std::uint8_t> embedded_font_bytes(EmbeddedFace face);

// Parses face 0 of a TrueType/OpenType font or of a collection. The bytes are not copied and must
// outlive the font. Gives nothing when the bytes are not a usable font.
std::optional<Font> load_font(std::span<const std::uint8_t> bytes);
// Reads a whole font file and parses its face 0; the font keeps the bytes. Nothing when the file
// cannot be read or is not a font.
std::optional<Font> load_font_file(const std::filesystem::path& path);

// The distance from a text line's top to its baseline in logical pixels: round(ascender * size /
// units_per_em), halves away from zero.
float baseline_offset(const Font& font, float size);

// The glyph's outline from the cache, outlining it on first use. Nothing for a glyph that has no
// outline (or that the face cannot outline); that result is cached too.
const Path* glyph_outline(const Font& font, std::uint16_t glyph_id);

// Every typeface the interface draws with.
struct FontSet {
    Font manrope_regular;
    Font manrope_medium;
    Font manrope_semibold;
    Font manrope_bold;
    Font urbanist_bold;
    Font urbanist_extrabold;
    // An Arial-compatible system face, when one is installed.
    std::optional<Font> fallback;
};

// The Arial-compatible files looked for, in order of preference.
std::span<const std::filesystem::path> fallback_font_paths();
// The fallback face: the first candidate file that can be read, parsed. Nothing when no file can
// be read or the first readable one is not a font.
std::optional<Font> load_fallback_font(std::span<const std::filesystem::path> candidates);

// Builds the font set from the embedded faces and the fallback candidates. An embedded face that
// does not parse is a broken build: the process ends with "fonte".
FontSet load_font_set(std::span<const std::filesystem::path> fallback_candidates = fallback_font_paths());

} // namespace torvane
