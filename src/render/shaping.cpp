#include "render/shaping.hpp"

#include <hb.h>

#include <memory>

namespace torvane {

namespace {

struct BufferDeleter {
    void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};

constexpr std::string_view ellipsis = "\u2026";

// Byte length of the UTF-8 character starting at text[pos]; a malformed sequence counts as one
// byte so that every byte of the text belongs to some character.
std::size_t char_length(std::string_view text, std::size_t pos)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || pos + length > text.size())
        return 1;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 1;
    return length;
}

} // namespace

std::vector<ShapedGlyph> shape_glyphs(const Font& font, std::string_view text, Figures figures)
{
    std::vector<ShapedGlyph> glyphs;
    if (text.empty())
        return glyphs;

    // One buffer per thread, emptied between runs, so shaping does not allocate once warm.
    thread_local std::unique_ptr<hb_buffer_t, BufferDeleter> buffer(hb_buffer_create());
    hb_buffer_t* buf = buffer.get();
    hb_buffer_clear_contents(buf);
    // Each character's cluster is its byte offset in the text.
    hb_buffer_add_utf8(buf, text.data(), int(text.size()), 0, int(text.size()));
    hb_buffer_guess_segment_properties(buf);

    const hb_feature_t tabular{HB_TAG('t', 'n', 'u', 'm'), 1, 0, HB_FEATURE_GLOBAL_END};
    bool tabular_figures = figures == Figures::Tabular;
    hb_shape(font.face.get(), buf, tabular_figures ? &tabular : nullptr, tabular_figures ? 1 : 0);

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buf, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buf, &count);
    glyphs.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        glyphs.push_back({.glyph_id = std::uint16_t(infos[i].codepoint),
                          .cluster = infos[i].cluster,
                          .x_advance = positions[i].x_advance,
                          .x_offset = positions[i].x_offset,
                          .y_offset = positions[i].y_offset});
    return glyphs;
}

ShapedRun shape_run(const Font& font, float size, float extra_spacing, std::string_view text, Figures figures)
{
    std::vector<ShapedGlyph> shaped = shape_glyphs(font, text, figures);
    ShapedRun run{.glyphs = {}, .width = 0, .size = size};
    run.glyphs.reserve(shaped.size());
    const float scale = size / font.units_per_em;
    float pen = 0.0f;
    for (std::size_t i = 0; i < shaped.size(); ++i) {
        const ShapedGlyph& g = shaped[i];
        run.glyphs.push_back(
            {.x = pen + float(g.x_offset) * scale, .glyph_id = g.glyph_id, .y = -(float(g.y_offset) * scale)});
        pen += float(g.x_advance) * scale;
        if (i + 1 == shaped.size() || shaped[i + 1].cluster != g.cluster)
            pen += extra_spacing;
    }
    run.width = pen;
    return run;
}

std::string ellipsize_to_width(const Font& font, float size, float max_width, std::string_view text)
{
    const float limit = max_width + 0.01f;
    auto fits = [&](std::string_view candidate) { return shape_run(font, size, 0, candidate).width <= limit; };
    if (fits(text))
        return std::string(text);

    // ends[k] is the byte length of the first k characters.
    std::vector<std::size_t> ends{0};
    for (std::size_t pos = 0; pos < text.size(); pos += char_length(text, pos))
        ends.push_back(pos + char_length(text, pos));

    std::size_t lo = 0, hi = ends.size() - 1;
    std::string candidate;
    while (lo < hi) {
        std::size_t mid = (lo + hi + 1) / 2;
        candidate.assign(text.substr(0, ends[mid]));
        candidate += ellipsis;
        if (fits(candidate))
            lo = mid;
        else
            hi = mid - 1;
    }
    std::string_view kept = text.substr(0, ends[lo]);
    while (!kept.empty() && kept.back() == ' ')
        kept.remove_suffix(1);
    std::string result(kept);
    result += ellipsis;
    return result;
}

} // namespace torvane
