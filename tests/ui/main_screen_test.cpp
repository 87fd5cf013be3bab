#include "ui/main_screen.hpp"

#include "support/temp_dir.hpp"
#include "ui/layout.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torvane {
namespace {

using test::TempDir;

struct ScreenFixture {
    TempDir base;
    UiState state;

    explicit ScreenFixture(float scale = 1) : state(build_ui_state(scale, base.path())) {}
    ~ScreenFixture() { drop_ui_state(state); }

    // One panel drawn alone onto a transparent layer with the panel's top-left corner as origin.
    Pixmap panel(void (*draw)(UiState&, Canvas&), float x, float y, float w, float h)
    {
        Pixmap layer = Pixmap::create_or_die(scaled_pixels(w, state.scale), scaled_pixels(h, state.scale));
        Canvas canvas(layer, x, y, state.scale);
        draw(state, canvas);
        return layer;
    }
    Pixmap bottom_bar() { return panel(draw_bottom_bar, bottom_bar_x, bottom_bar_y, bottom_bar_width, bottom_bar_height); }
    Pixmap top_bar() { return panel(draw_top_bar, top_bar_x, top_bar_y, top_bar_width, top_bar_height); }
};

// A pixel of a layer at a logical point of the window.
std::uint32_t at_logical(const Pixmap& layer, float origin_x, float origin_y, float x, float y, float scale = 1)
{
    return layer.at(static_cast<std::uint32_t>((x - origin_x) * scale), static_cast<std::uint32_t>((y - origin_y) * scale));
}

TEST(MainScreen, LayersHaveTheirPanelsSizeAndClearTheFlags)
{
    ScreenFixture fixture(1.5f);
    UiState& state = fixture.state;
    ASSERT_TRUE(state.top_bar_dirty && state.right_column_dirty && state.texts_dirty);
    draw_main_screen(state);
    EXPECT_FALSE(state.top_bar_dirty || state.right_column_dirty || state.texts_dirty);
    ASSERT_TRUE(state.top_bar_layer && state.right_column_layer && state.bottom_bar_layer);
    EXPECT_EQ(state.top_bar_layer->width(), 1650u);
    EXPECT_EQ(state.top_bar_layer->height(), 87u);
    EXPECT_EQ(state.right_column_layer->width(), 606u);
    EXPECT_EQ(state.right_column_layer->height(), static_cast<std::uint32_t>(std::ceil(state.layout.right_column_height * 1.5f)));
    EXPECT_EQ(state.bottom_bar_layer->width(), 1596u);
    EXPECT_EQ(state.bottom_bar_layer->height(), 156u);

    // A layer is drawn again only when asked (or when its size no longer fits).
    const std::uint32_t* top = state.top_bar_layer->pixels().data();
    const Pixmap right_before = state.right_column_layer->clone();
    state.hover_fades[hover_key(hit_id::all_news, 0)] = 1;
    draw_main_screen(state);
    EXPECT_TRUE(std::equal(right_before.pixels().begin(), right_before.pixels().end(),
        state.right_column_layer->pixels().begin()));
    state.right_column_dirty = true;
    draw_main_screen(state);
    EXPECT_FALSE(std::equal(right_before.pixels().begin(), right_before.pixels().end(),
        state.right_column_layer->pixels().begin()));
    EXPECT_EQ(state.top_bar_layer->pixels().data(), top);
}

TEST(MainScreen, PlayButtonIsGoldWhenEnabledAndFlatGreyOtherwise)
{
    ScreenFixture fixture;
    UiState& state = fixture.state;
    state.play_label.clear();
    // A point of the button left of its centred content.
    constexpr float x = 840, y = 600;
    state.play_enabled = false;
    const std::uint32_t grey = at_logical(fixture.bottom_bar(), bottom_bar_x, bottom_bar_y, x, y);
    state.play_enabled = true;
    const std::uint32_t gold = at_logical(fixture.bottom_bar(), bottom_bar_x, bottom_bar_y, x, y);
    EXPECT_GT(pixel_red(gold), pixel_blue(gold) + 80);
    EXPECT_GE(pixel_alpha(gold), 250u);
    EXPECT_NEAR(static_cast<int>(pixel_red(grey)), static_cast<int>(pixel_blue(grey)), 12);
    EXPECT_LT(pixel_alpha(grey), 230u); // the glass shows through
}

TEST(MainScreen, LongFileNameStaysInsideTheProgressColumn)
{
    ScreenFixture fixture;
    UiState& state = fixture.state;
    set_status(state, {.detail = "Data/Local/Por/Text_Por.bmd"});
    const Pixmap short_name = fixture.bottom_bar();
    set_status(state, {.detail = std::string(400, 'x') + ".bmd"});
    const Pixmap long_name = fixture.bottom_bar();
    // Right of x 611 the two pictures agree on the file line's rows.
    for (float y = 601; y < 618; y += 1)
        for (float x = 612; x < 630; x += 1)
            EXPECT_EQ(at_logical(short_name, bottom_bar_x, bottom_bar_y, x, y),
                at_logical(long_name, bottom_bar_x, bottom_bar_y, x, y))
                << x << "," << y;
}

TEST(MainScreen, LongStatusLineStopsBeforeThePercentage)
{
    ScreenFixture fixture;
    UiState& state = fixture.state;
    const std::string error = "Não foi possível baixar o jogo: https://127.0.0.1:20582/client/current.pmx: Connection "
                              "Failed: Failed to connect to 127.0.0.1 port 20582: Connection refused";
    struct Case {
        std::string label;
        std::string rate;
        bool shortened;
    } cases[] = {
        {"Cliente pronto para jogar.", "", false},
        {"Baixando o Torvane: 5 MB de 9 MB", "1,2 MB/s", false},
        {error, "", true},
        {error, "1,2 MB/s", true},
    };
    for (const Case& c : cases) {
        set_status(state, {.label = c.label, .main_bar_percent = 40, .rate = c.rate});
        std::string shown = shown_status_label(state);
        EXPECT_EQ(shown != c.label, c.shortened) << shown;
        if (c.shortened) {
            EXPECT_TRUE(shown.ends_with("\u2026")) << shown;
        }
    }
    // Between the status line and the percentage the bar stays as it is with no status at all.
    set_status(state, {.label = "", .main_bar_percent = 40, .rate = ""});
    const Pixmap empty = fixture.bottom_bar();
    set_status(state, {.label = error, .main_bar_percent = 40, .rate = ""});
    const Pixmap long_status = fixture.bottom_bar();
    const float percent_left = 611 - cached_run(state.text_cache, state.fonts, TextFace::ManropeBold, 15, 0, "40%").width;
    for (float y = 556; y < 575; y += 1)
        for (float x = percent_left - 10; x < 1060; x += 1)
            if (x < percent_left - 1 || x > 612) {
                EXPECT_EQ(at_logical(empty, bottom_bar_x, bottom_bar_y, x, y),
                    at_logical(long_status, bottom_bar_x, bottom_bar_y, x, y))
                    << x << "," << y;
            }
}

TEST(MainScreen, StatusDotShowsTheServerState)
{
    struct Case {
        bool known;
        bool online;
        std::uint32_t dot;
    };
    const Case cases[] = {
        {false, false, pixel_word(0x76, 0x7C, 0x72, 255)},
        {true, true, pixel_word(0x22, 0xC5, 0x5E, 255)},
        {true, false, pixel_word(0xEF, 0x44, 0x44, 255)},
    };
    for (const Case& c : cases) {
        ScreenFixture fixture;
        fixture.state.server_known = c.known;
        fixture.state.server_online = c.online;
        const Pixmap top = fixture.top_bar();
        EXPECT_EQ(at_logical(top, 0, 0, fixture.state.layout.badge_x + 16.5f, 28.5f), c.dot) << c.known << c.online;
    }
}

TEST(MainScreen, HoverLightsUpAButton)
{
    ScreenFixture fixture;
    UiState& state = fixture.state;
    const LinkEntry& entry = state.links.back();
    const float x = entry.x + 3, y = 15;
    const std::uint32_t rest = at_logical(fixture.top_bar(), 0, 0, x, y);
    state.hover_fades[hover_key(hit_id::link, static_cast<std::int32_t>(state.links.size() - 1))] = 1;
    const std::uint32_t lit = at_logical(fixture.top_bar(), 0, 0, x, y);
    EXPECT_GT(pixel_red(lit), pixel_red(rest));
}

TEST(MainScreen, PercentText)
{
    struct Case {
        float percent;
        const char* text;
    };
    const Case cases[] = {{0, "0%"}, {92, "92%"}, {51.5f, "51.5%"}, {100, "100%"}, {33.25f, "33.25%"},
        // Small shares early in a download stay in plain decimals.
        {0.0001f, "0.0001%"}, {0.000015f, "0.000015%"}};
    for (const Case& c : cases)
        EXPECT_EQ(percent_text(c.percent), c.text);
}

TEST(ServerBadge, OpacityZeroDrawsNothing)
{
    ScreenFixture fixture;
    Pixmap target = Pixmap::create_or_die(400, 60);
    Canvas canvas(target, 100, 100, 1);
    draw_server_badge(fixture.state, canvas, 110, 110, 300, 0);
    EXPECT_TRUE(std::all_of(target.pixels().begin(), target.pixels().end(), [](std::uint32_t p) { return p == 0; }));
    draw_server_badge(fixture.state, canvas, 110, 110, 300, 1);
    EXPECT_GT(pixel_alpha(target.at(150, 22)), 0u); // the season line
}

} // namespace
} // namespace torvane
