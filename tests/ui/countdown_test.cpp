#include "ui/countdown.hpp"

#include "render/icons.hpp"
#include "render/shaping.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torvane {
namespace {

TEST(OpeningDateTest, ShownInBrasiliaTime)
{
    struct Case {
        const char* text;
        std::int64_t ms;
        const char* shown;
    };
    const Case cases[] = {
        {"2026-12-05T20:00:00-03:00", 1796511600000, "05 de dezembro \u00B7 20h"},
        {"2027-01-01T02:30:00Z", 1798770600000, "31 de dezembro \u00B7 23h30"},
        {"2026-03-01T09:05:00-03:00", 1772366700000, "01 de mar\u00E7o \u00B7 9h05"},
        {"2024-02-29T03:00:00Z", 1709175600000, "29 de fevereiro \u00B7 0h"},
        {"1969-12-31T23:59:00-03:00", 10740000, "31 de dezembro \u00B7 23h59"},
        {"1960-07-15T12:00:00Z", -298641600000, "15 de julho \u00B7 9h"},
    };
    for (const Case& c : cases) {
        UiState state;
        set_opening_date(state, c.text);
        ASSERT_TRUE(state.opening_ms) << c.text;
        EXPECT_EQ(*state.opening_ms, c.ms) << c.text;
        EXPECT_EQ(state.opening_text, c.shown) << c.text;
        EXPECT_EQ(opening_display_text(c.ms), c.shown);
    }
}

TEST(OpeningDateTest, UnreadableTextKeepsPrevious)
{
    UiState state;
    set_opening_date(state, "2026-12-05T20:00:00-03:00");
    for (const char* bad : {"", "amanh\u00E3", "2026-1x-05", "05/12/2026"}) {
        set_opening_date(state, bad);
        EXPECT_EQ(state.opening_ms, 1796511600000) << bad;
        EXPECT_EQ(state.opening_text, "05 de dezembro \u00B7 20h") << bad;
    }
}

TEST(CountdownTest, CellTexts)
{
    struct Case {
        std::int64_t seconds;
        std::array<std::string, 4> texts;
    };
    const Case cases[] = {
        {0, {"0", "00", "00", "00"}},
        {59, {"0", "00", "00", "59"}},
        {3661, {"0", "01", "01", "01"}},
        {86399, {"0", "23", "59", "59"}},
        {86400 * 123 + 3600 * 5 + 7, {"123", "05", "00", "07"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(countdown_texts(c.seconds), c.texts) << c.seconds;
}

TEST(CountdownTest, OpensWithLessThanASecondToGo)
{
    struct Case {
        std::int64_t target;
        std::int64_t now;
        std::int64_t remaining;
        bool opened;
    };
    const Case cases[] = {
        {10'000, 0, 10, false},
        {10'000, 8'999, 1, false},
        {10'000, 9'000, 1, false},
        {10'000, 9'001, 0, true},
        {10'000, 10'000, 0, true},
        {10'000, 50'000, 0, true},
    };
    for (const Case& c : cases) {
        OpeningState state = opening_state(c.target, c.now);
        EXPECT_EQ(state.remaining_seconds, c.remaining) << c.now;
        EXPECT_EQ(state.opened, c.opened) << c.now;
    }
}

TEST(CountdownTest, PanelDrawsNothingVisibleAtZeroOpacity)
{
    UiState state;
    state.fonts = load_font_set({});
    set_opening_date(state, default_opening_text);
    Pixmap target = Pixmap::create_or_die(440, 102);
    Canvas canvas(target, 110, 100, 1);
    draw_countdown(state, canvas, 110, 102, {70, 70, 84, 92}, 0);
    for (std::uint32_t word : target.pixels())
        ASSERT_EQ(word, 0u);

    draw_countdown(state, canvas, 110, 102, {70, 70, 84, 92}, 1);
    // The first cell's box is painted at its centre; the gap between cells stays clear.
    EXPECT_GT(pixel_alpha(target.at(10, 40)), 200u);
    EXPECT_EQ(pixel_alpha(target.at(74, 10)), 0u);
}

TEST(CountdownTest, OpeningLineStartsWithTheClockIcon)
{
    UiState state;
    state.fonts = load_font_set({});
    set_opening_date(state, default_opening_text);
    const std::array<float, 4> cells{70, 70, 84, 92};
    constexpr float top = 100;
    Pixmap panel = Pixmap::create_or_die(660, 220);
    Canvas canvas(panel, 0, 0, 1);
    draw_countdown(state, canvas, 110, top, cells, 1);

    // The line is centred on x 330; its clock is 14 units wide, stroked 2 wide in the pale gold.
    const Font& regular = state.fonts.manrope_regular;
    const float total = shape_run(regular, 12.5f, 0, "Abertura em").width + 20 + 6
        + shape_run(state.fonts.manrope_bold, 12.5f, 0, state.opening_text).width + 6
        + shape_run(regular, 12.5f, 0, "\u00B7 hor\u00E1rio de Bras\u00EDlia").width;
    const float left = 330 - total / 2;
    Pixmap icon = Pixmap::create_or_die(660, 220);
    Canvas icon_canvas(icon, 0, 0, 1);
    draw_icon(icon_canvas, state.icons.clock, left, top + 78.5f + 1.5f, 14, icon_grid,
        Color::from_rgba8(0xF2, 0xD2, 0x8A), 2);
    const auto x0 = static_cast<std::uint32_t>(std::floor(left)) - 1;
    const auto y0 = static_cast<std::uint32_t>(top + 78);
    std::uint32_t inked = 0;
    for (std::uint32_t y = y0; y < y0 + 17; ++y)
        for (std::uint32_t x = x0; x < x0 + 17; ++x) {
            ASSERT_EQ(panel.at(x, y), icon.at(x, y)) << x << "," << y;
            inked += pixel_alpha(icon.at(x, y)) > 0;
        }
    EXPECT_GT(inked, 40u);
}

} // namespace
} // namespace torvane
