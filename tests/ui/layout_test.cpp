#include "ui/layout.hpp"

#include "render/color.hpp"
#include "ui/motion.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torvane {
namespace {

// A UI state with its fonts but without images or canvases: enough for the text model.
class LayoutTest : public testing::Test {
protected:
    UiState state;
    void SetUp() override { state.fonts = load_font_set({}); }

    float width_of(TextFace face, float size, float spacing, std::string_view text)
    {
        return shape_text(state.fonts, face, size, spacing, text).width();
    }
    void set_links(std::vector<LauncherLink> links) { set_links_and_news(state, std::move(links), {}, {}, std::nullopt); }
};

TEST_F(LayoutTest, BadgeEndsAtFixedRightEdge)
{
    for (const char* status : {"verificando...", "ONLINE", "OFFLINE", ""}) {
        state.status_text = status;
        rebuild_ui_model(state);
        const MainLayout& layout = state.layout;
        float text_width = width_of(TextFace::ManropeBold, 12.5f, 0, status);
        EXPECT_FLOAT_EQ(layout.badge_width, text_width + 40) << status;
        EXPECT_FLOAT_EQ(layout.badge_x + layout.badge_width, 1004) << status;
        EXPECT_FLOAT_EQ(layout.links_right, layout.badge_x - 18);
        EXPECT_FLOAT_EQ(layout.pulse_x, layout.badge_x);
    }
    EXPECT_FLOAT_EQ(state.layout.links_left, width_of(TextFace::UrbanistExtraBold, 15, 0.3f, "TORVANE") + 80);
}

TEST_F(LayoutTest, LinkRowIsCentredBetweenTitleAndBadge)
{
    set_links({{"Discord", "https://d"}, {"Loja", "https://l"}, {"Site", std::nullopt}});
    const auto& links = state.links;
    ASSERT_EQ(links.size(), 4u);
    float total = 0;
    for (const LinkEntry& link : links) {
        EXPECT_FLOAT_EQ(link.width, link.shaped_label.width() + 49) << link.label;
        total += link.width + 2;
    }
    const MainLayout& layout = state.layout;
    EXPECT_FLOAT_EQ(links[0].x, layout.links_left + (layout.links_right - layout.links_left - total) / 2);
    for (std::size_t i = 1; i < links.size(); ++i)
        EXPECT_FLOAT_EQ(links[i].x, links[i - 1].x + links[i - 1].width + 2);

    EXPECT_TRUE(links[0].clickable);
    EXPECT_FALSE(links[2].clickable); // no URL
    EXPECT_EQ(links[2].url, "");
    const LinkEntry& options = links[3];
    EXPECT_EQ(options.label, "Op\u00E7\u00F5es");
    EXPECT_EQ(options.kind, LinkKind::Settings);
    EXPECT_TRUE(options.clickable);
    EXPECT_TRUE(options.opens_settings);
    EXPECT_FALSE(links[0].opens_settings);
}

TEST_F(LayoutTest, WithoutLinksOnlyOptionsSitsCentred)
{
    set_links({});
    ASSERT_EQ(state.links.size(), 1u);
    const LinkEntry& options = state.links[0];
    const MainLayout& layout = state.layout;
    float centre = (layout.links_left + layout.links_right) / 2;
    EXPECT_FLOAT_EQ(options.x + (options.width + 2) / 2, centre);
}

TEST(LinkKindTest, LabelsComparedWholeWithoutCase)
{
    struct Case {
        const char* label;
        LinkKind kind;
    };
    const Case cases[] = {
        {"LOJA", LinkKind::Store}, {"loja", LinkKind::Store}, {"LoJa", LinkKind::Store},
        {"minha loja", LinkKind::Other}, {"Discord", LinkKind::Discord}, {"RANKING", LinkKind::Ranking},
        {"ranking ", LinkKind::Other}, {"", LinkKind::Other}, {"Site", LinkKind::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(link_kind(c.label), c.kind) << '"' << c.label << '"';
}

TEST(TagColorTest, SitePaletteBecomesLauncherPalette)
{
    constexpr Color gold = Color::from_rgba8(0xD9, 0xA8, 0x45);
    constexpr Color green = Color::from_rgba8(0x12, 0xB8, 0x80);
    struct Case {
        std::optional<std::string> text;
        Color color;
    };
    const Case cases[] = {
        {"#8b5cf6 ", gold},
        {"#8B5CF6", gold},
        {" #a78bfa", gold},
        {"#7C3AED", gold},
        {"#3B82F6", green},
        {"#60a5fa", green},
        {"#2563EB", green},
        {"#ff0000", Color::from_rgba8(255, 0, 0)},
        {"##0f0", Color::from_rgba8(0, 255, 0)},
        {"#11223344", Color::from_rgba8(0x11, 0x22, 0x33, 0x44)},
        {std::nullopt, gold},
        {"blue", gold},
        {"", gold},
    };
    for (const Case& c : cases)
        EXPECT_EQ(resolve_tag_color(c.text), c.color) << c.text.value_or("(absent)");
}

TEST(InfoRowTest, ValueSplitAtBars)
{
    struct Case {
        const char* value;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"Season 6", {"Season 6"}},
        {"x100 | 50% drop", {"x100", "50% drop"}},
        {"a||b", {"a", "b"}},
        {" | ", {}},
        {"", {}},
        {"|a|", {"a"}},
        {"\u00A0um\u00A0|\tdois\n", {"um", "dois"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(split_info_value(c.value), c.pieces) << '"' << c.value << '"';
}

TEST_F(LayoutTest, NewsTextEndsInEllipsisWhenTooWide)
{
    const Font& font = state.fonts.manrope_medium;
    std::string long_text = "Evento de lan\u00E7amento com recompensas exclusivas para todos os jogadores do servidor";
    std::string fitted = fit_with_ellipsis(font, 12.5f, 200, long_text);
    ASSERT_NE(fitted, long_text);
    EXPECT_TRUE(fitted.ends_with("\u2026"));
    EXPECT_LE(shape_run(font, 12.5f, 0, fitted).width, 200);
    // One more character would not fit.
    std::string prefix = fitted.substr(0, fitted.size() - 3);
    std::string longer = long_text.substr(0, prefix.size() + 1) + "\u2026";
    EXPECT_GT(shape_run(font, 12.5f, 0, longer).width, 200);

    EXPECT_EQ(fit_with_ellipsis(font, 12.5f, 200, "Curto"), "Curto");
    EXPECT_EQ(fit_with_ellipsis(font, 12.5f, 1, "Texto"), "\u2026");
    // Characters are dropped whole.
    std::string accents = fit_with_ellipsis(font, 12.5f, 40, "\u00E7\u00E3\u00E9\u00F5\u00E1\u00ED\u00FA\u00E7\u00E3\u00E9\u00F5");
    EXPECT_TRUE(accents.ends_with("\u2026"));
    EXPECT_EQ((accents.size() - 3) % 2, 0u);
}

TEST_F(LayoutTest, NewsEntriesLaidOutDownTheColumn)
{
    std::string long_text(200, 'W');
    std::vector<LauncherNews> news = {
        {"EVENTO", "#8b5cf6", "Primeira", "https://a", "01/12"},
        {"AVISO", "#3B82F6", long_text, std::nullopt, "02/12"},
        {"NOVO", std::nullopt, "Terceira", "https://c", "03/12"},
        {"QUARTA", "#fff", "Nunca mostrada", "https://d", "04/12"},
    };
    set_links_and_news(state, {}, news, {}, std::nullopt);
    ASSERT_EQ(state.news.size(), 3u);
    EXPECT_FLOAT_EQ(state.news[0].y, 123);
    EXPECT_FLOAT_EQ(state.news[1].y, 123 + 48.875f);
    EXPECT_FLOAT_EQ(state.news[2].y, 123 + 48.875f + 54.875f);
    EXPECT_FLOAT_EQ(state.layout.news_panel_height, 48.875f + 54.875f * 2 + 64);
    EXPECT_FLOAT_EQ(state.layout.info_panel_y, 70 + state.layout.news_panel_height + 10);

    const NewsEntry& second = state.news[1];
    EXPECT_TRUE(second.text.text.ends_with("\u2026"));
    EXPECT_LE(second.text.width(), 360 - second.date.width());
    EXPECT_EQ(second.url, "");
    EXPECT_FLOAT_EQ(state.news[0].tag_pill_width, width_of(TextFace::ManropeBold, 10, 0.4f, "EVENTO") + 18);
    EXPECT_EQ(state.news[0].tag_color, Color::from_rgba8(0xD9, 0xA8, 0x45));
    EXPECT_EQ(state.news[1].tag_color, Color::from_rgba8(0x12, 0xB8, 0x80));
}

TEST_F(LayoutTest, NoNewsKeepsTitleRowAndMovesInformationUp)
{
    set_links_and_news(state, {}, {}, {{"Vers\u00E3o", "1.0"}}, std::nullopt);
    EXPECT_FLOAT_EQ(state.layout.news_panel_height, 64);
    EXPECT_FLOAT_EQ(state.layout.info_panel_y, 144);
    ASSERT_EQ(state.info_rows.size(), 1u);
    EXPECT_FLOAT_EQ(state.info_rows[0].y, 144 + 53);
}

TEST_F(LayoutTest, InformationRowsAdvanceDownThePanel)
{
    std::vector<LauncherInfo> info = {{"Taxa", "x100 | x50"}, {"Drop", "10%"}, {std::nullopt, "s\u00F3 valor"}, {"Vazio", " | "}};
    set_links_and_news(state, {}, {}, info, std::nullopt);
    const auto& rows = state.info_rows;
    ASSERT_EQ(rows.size(), 4u);
    float first = state.layout.info_panel_y + 53;
    EXPECT_FLOAT_EQ(rows[0].y, first);
    EXPECT_FLOAT_EQ(rows[1].y, first + 24);
    EXPECT_FLOAT_EQ(rows[2].y, first + 52);
    EXPECT_FLOAT_EQ(rows[3].y, first + 80);
    EXPECT_EQ(rows[0].pieces, (std::vector<std::string>{"x100", "x50"}));
    EXPECT_EQ(rows[0].shaped_pieces.size(), 2u);
    EXPECT_EQ(rows[2].label, "");
    EXPECT_TRUE(rows[3].pieces.empty());
    EXPECT_FLOAT_EQ(state.layout.info_panel_height, 24 + 28 * 3 + 64);
    EXPECT_FLOAT_EQ(state.layout.right_column_height,
        state.layout.news_panel_height + 10 + state.layout.info_panel_height);
}

TEST_F(LayoutTest, HitListInIdOrder)
{
    set_links_and_news(state, {{"Discord", "https://d"}, {"Loja", "https://l"}},
        {{"A", std::nullopt, "um", "u", "1"}, {"B", std::nullopt, "dois", "u", "2"}}, {}, std::nullopt);
    const auto& hits = state.main_hits;
    struct Expected {
        std::int32_t id;
        std::int32_t data;
    };
    const Expected order[] = {{1, 0}, {1, 1}, {1, 2}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {5, 1}, {6, 0}, {7, 0}, {8, 0}};
    ASSERT_EQ(hits.size(), std::size(order));
    for (std::size_t i = 0; i < hits.size(); ++i) {
        EXPECT_EQ(hits[i].id, order[i].id) << i;
        EXPECT_EQ(hits[i].data, order[i].data) << i;
    }
    EXPECT_EQ(hits[0], (HitRegion{state.links[0].x, 12.5f, state.links[0].x + state.links[0].width, 44.5f, 1, 0}));
    EXPECT_EQ(hits[3], (HitRegion{1016, 12.5f, 1050, 44.5f, 2, 0}));
    EXPECT_EQ(hits[4], (HitRegion{1056, 12.5f, 1090, 44.5f, 3, 0}));
    EXPECT_EQ(hits[5], (HitRegion{1047 - state.layout.all_news.width(), 102, 1065, 119, 4, 0}));
    EXPECT_EQ(hits[6], (HitRegion{695, 123, 1065, 123 + 48.875f, 5, 0}));
    EXPECT_EQ(hits[7], (HitRegion{695, 123 + 48.875f, 1065, 123 + 48.875f + 54.875f, 5, 1}));
    EXPECT_EQ(hits[8], (HitRegion{633, 559.5f, 803, 580.5f, 6, 0}));
    EXPECT_EQ(hits[9], (HitRegion{633, 590.5f, 803, 624.5f, 7, 0}));
    EXPECT_EQ(hits[10], (HitRegion{825, 556, 1065, 628, 8, 0}));
    EXPECT_TRUE(state.texts_dirty);
    EXPECT_TRUE(state.main_dirty);
}

TEST_F(LayoutTest, OpeningTextAppliedOnlyWhenGiven)
{
    state.opening_text = "antes";
    set_links_and_news(state, {}, {}, {}, std::nullopt);
    EXPECT_EQ(state.opening_text, "antes");
    set_links_and_news(state, {}, {}, {}, "2027-01-01T02:30:00Z");
    EXPECT_EQ(state.opening_text, "31 de dezembro \u00B7 23h30");
}

TEST_F(LayoutTest, StatusSetterClampsBars)
{
    struct Case {
        float thin;
        float main;
        float thin_target;
        float main_target;
    };
    const Case cases[] = {{51, 92, 51, 92}, {150, 100.5f, 100, 100}, {-3, -0.1f, 0, 0}, {NAN, NAN, 0, 0}, {0, 100, 0, 100}};
    for (const Case& c : cases) {
        state.thin_bar_tween = Tween{30, 30, -100, 0.45f};
        state.main_bar_tween = Tween{30, 30, -100, 0.45f};
        set_status(state, {.thin_bar_percent = c.thin, .main_bar_percent = c.main});
        EXPECT_EQ(state.thin_bar_tween.to, c.thin_target);
        EXPECT_EQ(state.main_bar_tween.to, c.main_target);
        EXPECT_EQ(state.percent, c.main_target);
    }
}

TEST_F(LayoutTest, StatusSetterChangesOnlyWhatIsGiven)
{
    state.clock = 5;
    state.thin_bar_tween = Tween{0, 20, 0, 0.45f};
    state.texts_dirty = false;
    set_status(state, {.label = "Verificando arquivos...", .main_bar_percent = 92, .detail = "Data/Local/Por/Text_Por.bmd"});
    EXPECT_EQ(state.status_label, "Verificando arquivos...");
    EXPECT_EQ(state.detail_line, "Data/Local/Por/Text_Por.bmd");
    EXPECT_EQ(state.rate_line, "");
    EXPECT_EQ(state.thin_bar_tween.to, 20); // not asked
    EXPECT_EQ(state.main_bar_tween.to, 92);
    EXPECT_EQ(state.main_bar_tween.start, 5);
    EXPECT_TRUE(state.texts_dirty);

    set_status(state, {.rate = "1,5 MB/s"});
    EXPECT_EQ(state.status_label, "Verificando arquivos...");
    EXPECT_EQ(state.rate_line, "1,5 MB/s");
    EXPECT_EQ(state.percent, 92);
}

TEST(ScaledPixelsTest, CeilSaturatingAndAtLeastOne)
{
    struct Case {
        float units;
        float scale;
        std::uint32_t pixels;
    };
    const Case cases[] = {{1100, 1, 1100}, {1100, 1.5f, 1650}, {660, 1.5f, 990}, {1100, 1.25f, 1375}, {660, 1.3f, 858},
        {0, 1, 1}, {1100, 0, 1}, {1100, NAN, 1}, {1e30f, 1, 0xFFFFFFFFu}};
    for (const Case& c : cases)
        EXPECT_EQ(scaled_pixels(c.units, c.scale), c.pixels) << c.units << " x " << c.scale;
}

} // namespace
} // namespace torvane
