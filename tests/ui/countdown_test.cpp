#include "ui/countdown.hpp"

#include <gtest/gtest.h>

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

} // namespace
} // namespace torvane
