#include "render/font.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <hb.h>

#include <cstring>
#include <string>
#include <vector>

namespace torvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(EmbeddedFace face)
{
    auto span = embedded_font_bytes(face);
    return Bytes(span.begin(), span.end());
}

std::uint32_t get_u32(const Bytes& b, std::size_t at) { return std::uint32_t(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]; }
void put_u32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (24 - 8 * i));
}

// A font collection holding the given faces in order: each face's table directory is moved into
// the collection and its table offsets made absolute.
Bytes make_collection(const std::vector<Bytes>& faces)
{
    std::size_t header = 12 + 4 * faces.size();
    Bytes out(header, 0);
    std::memcpy(out.data(), "ttcf", 4);
    put_u32(out, 4, 0x00010000);
    put_u32(out, 8, std::uint32_t(faces.size()));
    for (std::size_t i = 0; i < faces.size(); ++i) {
        while (out.size() % 4)
            out.push_back(0);
        std::size_t base = out.size();
        put_u32(out, 12 + 4 * i, std::uint32_t(base));
        out.insert(out.end(), faces[i].begin(), faces[i].end());
        unsigned tables = unsigned(out[base + 4] << 8 | out[base + 5]);
        for (unsigned t = 0; t < tables; ++t) {
            std::size_t record = base + 12 + 16 * t;
            put_u32(out, record + 8, get_u32(out, record + 8) + std::uint32_t(base));
        }
    }
    return out;
}

std::uint16_t glyph_for(const Font& font, char32_t c)
{
    hb_codepoint_t glyph = 0;
    EXPECT_TRUE(hb_font_get_nominal_glyph(font.face.get(), c, &glyph));
    return std::uint16_t(glyph);
}

TEST(FontTest, EmbeddedFacesHaveTheirMetrics)
{
    struct Case {
        EmbeddedFace face;
        float ascender, descender;
    };
    const Case cases[] = {
        {EmbeddedFace::ManropeRegular, 2132, -600}, {EmbeddedFace::ManropeMedium, 2132, -600},
        {EmbeddedFace::ManropeSemiBold, 2132, -600}, {EmbeddedFace::ManropeBold, 2132, -600},
        {EmbeddedFace::UrbanistBold, 1900, -500}, {EmbeddedFace::UrbanistExtraBold, 1900, -500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.face));
        auto font = load_font(embedded_font_bytes(c.face));
        ASSERT_TRUE(font);
        EXPECT_EQ(font->units_per_em, 2000);
        EXPECT_EQ(font->ascender, c.ascender);
        EXPECT_EQ(font->descender, c.descender);
        EXPECT_TRUE(font->glyph_cache.empty());
    }
}

TEST(FontTest, BaselineOffsetRoundsHalfAwayFromZero)
{
    auto manrope = load_font(embedded_font_bytes(EmbeddedFace::ManropeRegular));
    auto urbanist = load_font(embedded_font_bytes(EmbeddedFace::UrbanistBold));
    ASSERT_TRUE(manrope && urbanist);
    struct Case {
        const Font& font;
        float size, offset;
    };
    const Case cases[] = {
        {*manrope, 12, 13},   // 12.792
        {*manrope, 11, 12},   // 11.726
        {*manrope, 12.5, 13}, // 13.325
        {*urbanist, 20, 19},  // exactly 19
        {*urbanist, 10, 10},  // 9.5 rounds up
    };
    for (const Case& c : cases)
        EXPECT_EQ(baseline_offset(c.font, c.size), c.offset) << c.size;
}

TEST(FontTest, RejectsBytesThatAreNotAFont)
{
    Bytes manrope = bytes_of(EmbeddedFace::ManropeRegular);
    Bytes wrong_magic = manrope;
    std::memcpy(wrong_magic.data(), "wOFF", 4);
    // Directory intact, but every table but the first few cut away.
    Bytes truncated(manrope.begin(), manrope.begin() + 400);
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"three bytes", {0, 1, 0}},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
        {"wrong magic", wrong_magic},
        {"truncated", truncated},
        {"magic only", Bytes{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"empty collection", Bytes{'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(load_font(c.bytes)) << c.name;
}

TEST(FontTest, CollectionGivesItsFirstFace)
{
    Bytes collection = make_collection({bytes_of(EmbeddedFace::UrbanistBold), bytes_of(EmbeddedFace::ManropeBold)});
    auto font = load_font(collection);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->ascender, 1900);
    EXPECT_EQ(font->descender, -500);
    EXPECT_TRUE(glyph_outline(*font, glyph_for(*font, 'W'))); // outlines come from the first face's glyf table
}

TEST(FontTest, OutlinesAreCachedOncePerGlyph)
{
    auto font = load_font(embedded_font_bytes(EmbeddedFace::ManropeRegular));
    ASSERT_TRUE(font);
    const Path* first = glyph_outline(*font, glyph_for(*font, 'A'));
    ASSERT_NE(first, nullptr);
    EXPECT_GE(first->verbs().size(), 2u);
    EXPECT_EQ(first->verbs().front(), PathVerb::Move);
    EXPECT_GT(first->bounds().bottom, 1000) << "font units, y up: the apex of A lies far above the baseline";
    EXPECT_EQ(glyph_outline(*font, glyph_for(*font, 'A')), first);
    EXPECT_EQ(font->glyph_cache.size(), 1u);

    // A glyph id past the end of the face has no outline; the miss is remembered.
    EXPECT_EQ(glyph_outline(*font, 60000), nullptr);
    ASSERT_EQ(font->glyph_cache.size(), 2u);
    EXPECT_FALSE(font->glyph_cache.at(60000).has_value());
}

TEST(FontTest, FallbackIsTheFirstReadableCandidate)
{
    test::TempDir dir;
    auto span = embedded_font_bytes(EmbeddedFace::UrbanistBold);
    auto font_file = dir.write("urbanist.ttf", std::string_view(reinterpret_cast<const char*>(span.data()), span.size()));
    auto not_a_font = dir.write("notes.ttf", "not a font");
    auto missing = dir.path() / "missing.ttf";
    std::filesystem::create_directory(dir.path() / "folder.ttf");
    auto folder = dir.path() / "folder.ttf";

    struct Case {
        const char* name;
        std::vector<std::filesystem::path> candidates;
        bool found;
    };
    const Case cases[] = {
        {"none", {}, false},
        {"only missing", {missing, folder}, false},
        {"missing then font", {missing, folder, font_file}, true},
        {"first readable is not a font", {not_a_font, font_file}, false},
    };
    for (const Case& c : cases) {
        auto fallback = load_fallback_font(c.candidates);
        EXPECT_EQ(fallback.has_value(), c.found) << c.name;
        if (fallback) {
            EXPECT_EQ(fallback->ascender, 1900) << c.name;
        }
    }
}

TEST(FontTest, FileFontKeepsItsBytes)
{
    std::optional<Font> font;
    {
        test::TempDir dir;
        auto span = embedded_font_bytes(EmbeddedFace::ManropeBold);
        auto path = dir.write("f.ttf", std::string_view(reinterpret_cast<const char*>(span.data()), span.size()));
        font = load_font_file(path);
        EXPECT_FALSE(load_font_file(dir.path() / "missing.ttf"));
    } // the file is gone; the font still outlines from its own copy
    ASSERT_TRUE(font);
    EXPECT_TRUE(glyph_outline(*font, glyph_for(*font, 'g')));
}

TEST(FontTest, FontSetLoadsEveryEmbeddedFace)
{
    FontSet set = load_font_set({});
    EXPECT_FALSE(set.fallback);
    for (const Font* font : {&set.manrope_regular, &set.manrope_medium, &set.manrope_semibold, &set.manrope_bold,
                             &set.urbanist_bold, &set.urbanist_extrabold})
        EXPECT_EQ(font->units_per_em, 2000);
    EXPECT_EQ(set.manrope_bold.ascender, 2132);
    EXPECT_EQ(set.urbanist_extrabold.ascender, 1900);
}

} // namespace
} // namespace torvane
