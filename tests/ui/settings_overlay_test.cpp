#include "ui/settings_overlay.hpp"

#include "dialog_screen.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"
#include "ui/motion.hpp"
#include "ui/settings_dialog.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace torvane {
namespace {

using test::DialogScreen;
using test::Rgb;
using test::rgb_at;

// The dialog painted alone on a transparent 1100 x 660 pixmap.
struct PaintedDialog {
    Pixmap pixmap = Pixmap::create_or_die(1100, 660);
    std::vector<HitRegion> hits;
};
PaintedDialog paint(UiState& ui)
{
    PaintedDialog painted;
    Canvas canvas(painted.pixmap);
    painted.hits = draw_settings_dialog(ui, canvas, ui.settings);
    return painted;
}

bool goldish(Rgb c) { return c.r > 120 && c.r > c.b + 60; }
bool near(Rgb a, Rgb b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}
constexpr Rgb body_colour{15, 22, 20};

TEST(SettingsDialogPaint, RegionsAndButtonsMoveWithTheMessageLine)
{
    struct Case {
        bool message;
        float top, bottom, buttons;
    };
    const Case cases[] = {{false, 68, 592, 537}, {true, 46, 615, 560}};
    for (const Case& c : cases) {
        DialogScreen screen;
        SettingsPanelModel model = capture_settings_model();
        if (c.message)
            model.message = "Não foi possível salvar as configurações: teste";
        screen.open(std::move(model));
        const PaintedDialog painted = paint(screen.ui);
        const std::vector<HitRegion>& hits = painted.hits;
        ASSERT_EQ(hits.size(), settings_dialog_region_count);
        const std::int32_t ids[] = {10, 11, 12, 12, 12, 12, 12, 14, 15, 16, 17, 18};
        for (std::size_t i = 0; i < hits.size(); ++i)
            EXPECT_EQ(hits[i].id, ids[i]) << i;
        EXPECT_EQ(hits[0], (HitRegion{310, c.top, 790, c.bottom, hit_id::dialog_body, 0}));
        EXPECT_EQ(hits[1], (HitRegion{731, c.top + 19, 765, c.top + 51, hit_id::dialog_close, 0}));
        for (std::int32_t row = 0; row < 5; ++row) {
            const float y = c.top + settings_row_offsets[static_cast<std::size_t>(row)];
            EXPECT_EQ(hits[2 + static_cast<std::size_t>(row)], (HitRegion{475, y, 765, y + 34, hit_id::dialog_list_header, row}));
        }
        EXPECT_EQ(hits[9], (HitRegion{470, c.top + 357, 722, c.top + 379, hit_id::dialog_volume, 0}));
        EXPECT_EQ(hits[10], (HitRegion{535, c.buttons, 645, c.buttons + 34, hit_id::dialog_cancel, 0}));
        EXPECT_EQ(hits[11], (HitRegion{655, c.buttons, 765, c.buttons + 34, hit_id::dialog_save, 0}));

        // The body is opaque just inside its edges, the window around it untouched.
        const Pixmap& p = painted.pixmap;
        EXPECT_TRUE(near(rgb_at(p, 320, static_cast<std::uint32_t>(c.top + 300)), body_colour, 1)) << c.message;
        EXPECT_EQ(pixel_alpha(p.at(320, static_cast<std::uint32_t>(c.bottom) - 6)), 255u) << c.message;
        EXPECT_EQ(pixel_alpha(p.at(100, 330)), 0u);
        // The message box's red tint sits above the buttons only when there is a message.
        const Rgb message_box = rgb_at(p, 340, static_cast<std::uint32_t>(c.top + 490));
        EXPECT_EQ(message_box.r > body_colour.r + 20, c.message) << message_box.r;
    }
}

TEST(SettingsDialogPaint, KnobAndTrackFollowTheVolume)
{
    struct Case {
        std::int32_t volume;
        float knob_x;
        bool gold_at_530, gold_at_670;
    };
    const Case cases[] = {{0, 484.5f, false, false}, {5, 596, true, false}, {10, 707.5f, true, true}};
    DialogScreen screen;
    screen.open();
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(volume_knob_x(c.volume), c.knob_x);
        screen.ui.settings.volume = c.volume;
        const PaintedDialog painted = paint(screen.ui);
        constexpr std::uint32_t track_row = 68 + 368;
        EXPECT_EQ(goldish(rgb_at(painted.pixmap, 530, track_row)), c.gold_at_530) << c.volume;
        EXPECT_EQ(goldish(rgb_at(painted.pixmap, 670, track_row)), c.gold_at_670) << c.volume;
        const Rgb centre = rgb_at(painted.pixmap, static_cast<std::uint32_t>(c.knob_x), track_row);
        EXPECT_TRUE(centre.r > 240 && centre.g > 240 && centre.b > 240) << c.volume;
        // The gold ring around the white centre.
        EXPECT_TRUE(goldish(rgb_at(painted.pixmap, static_cast<std::uint32_t>(c.knob_x), track_row - 7))) << c.volume;
    }
}

TEST(SettingsDialogPaint, SelectionIsTheExactValueOrTheFirstEntry)
{
    struct Case {
        const char* name;
        void (*change)(SettingsPanelModel&);
        std::array<std::int32_t, 5> selected;
    };
    const Case cases[] = {
        {"capture values", [](SettingsPanelModel&) {}, {2, 3, 5, 1, 0}},
        {"language in other case", [](SettingsPanelModel& m) { m.language = "eng"; }, {2, 3, 5, 1, 0}},
        {"language found", [](SettingsPanelModel& m) { m.language = "Spn"; }, {2, 3, 5, 1, 2}},
        {"leading zero", [](SettingsPanelModel& m) { m.window_mode = "02"; }, {0, 3, 5, 1, 0}},
        {"resolution missing", [](SettingsPanelModel& m) { m.resolution = "9"; }, {2, 0, 5, 1, 0}},
        {"empty list", [](SettingsPanelModel& m) { m.renderers.clear(); }, {2, 3, 5, 0, 0}},
    };
    for (const Case& c : cases) {
        DialogScreen screen;
        SettingsPanelModel model = capture_settings_model();
        c.change(model);
        screen.open(std::move(model));
        EXPECT_EQ(screen.ui.settings.selected, c.selected) << c.name;
    }
}

TEST(SettingsDialogPaint, OpeningRestsTheSwitchesAndClampsTheVolume)
{
    DialogScreen screen;
    SettingsPanelModel model = capture_settings_model();
    model.sound_on = true;
    model.volume = 14;
    screen.ui.pointer_x = 100;
    screen.ui.pointer_y = 100;
    screen.ui.hover_id = hit_id::settings;
    screen.open(std::move(model));
    const UiState& ui = screen.ui;
    EXPECT_EQ(ui.screen_mode, screen_settings);
    EXPECT_EQ(ui.settings.volume, 10);
    EXPECT_EQ(ui.sound_tween, (Tween{1, 1, -100, 0.2f}));
    EXPECT_EQ(ui.music_tween, (Tween{0, 0, -100, 0.2f}));
    EXPECT_EQ(ui.hover_id, hit_id::dialog_outside); // nothing painted yet: all outside
    EXPECT_TRUE(ui.redraw_all);
    ASSERT_TRUE(ui.settings.sharp_snapshot && ui.settings.blurred_snapshot);
    EXPECT_EQ(ui.settings.sharp_snapshot->at(5, 5), test::plain_frame_word);
    // The backdrop is the frame darkened by (3, 6, 5) at 179/255; a plain frame stays plain.
    const Rgb dark = rgb_at(*ui.settings.blurred_snapshot, 500, 300);
    EXPECT_TRUE(near(dark, Rgb{14, 28, 39}, 2)) << dark.r << " " << dark.g << " " << dark.b;
}

TEST(SettingsDialogPaint, LongLanguageLabelIsCutInsideItsBox)
{
    struct Case {
        std::string label;
    };
    const Case cases[] = {{"Português"}, {std::string(80, 'W')}};
    for (const Case& c : cases) {
        DialogScreen screen;
        SettingsPanelModel model = capture_settings_model();
        model.languages = {{"Por", c.label}};
        screen.open(std::move(model));
        const PaintedDialog painted = paint(screen.ui);
        constexpr std::uint32_t row_top = 68 + 415;
        int rightmost = 0;
        for (std::uint32_t y = row_top + 6; y < row_top + 28; ++y)
            for (std::uint32_t x = 480; x < 746; ++x)
                if (rgb_at(painted.pixmap, x, y).r > 120)
                    rightmost = std::max(rightmost, static_cast<int>(x));
        EXPECT_LE(rightmost, 490 + 244) << c.label;
        if (c.label.size() > 20) {
            EXPECT_GT(rightmost, 690) << "the cut label still fills its box";
        }
    }
}

TEST(SettingsDialogPaint, SaveIsFaintAndWithoutGlowWhileSaving)
{
    struct Case {
        bool saving;
        bool hovered;
        bool glow;
    };
    const Case cases[] = {{false, false, false}, {false, true, true}, {true, true, false}, {true, false, false}};
    DialogScreen screen;
    screen.open();
    constexpr std::uint32_t fill_x = 662, fill_y = 537 + 17, glow_x = 710, glow_y = 537 + 34 + 5;
    screen.ui.hover_id = hit_id::none;
    const PaintedDialog plain = paint(screen.ui);
    const Rgb plain_fill = rgb_at(plain.pixmap, fill_x, fill_y);
    const Rgb plain_glow = rgb_at(plain.pixmap, glow_x, glow_y);
    for (const Case& c : cases) {
        screen.ui.settings.saving = c.saving;
        screen.ui.hover_id = c.hovered ? hit_id::dialog_save : hit_id::none;
        const PaintedDialog painted = paint(screen.ui);
        const Rgb fill = rgb_at(painted.pixmap, fill_x, fill_y);
        const Rgb expected = c.saving ? Rgb{static_cast<int>(std::lround(0.4 * body_colour.r + 0.6 * plain_fill.r)),
                                            static_cast<int>(std::lround(0.4 * body_colour.g + 0.6 * plain_fill.g)),
                                            static_cast<int>(std::lround(0.4 * body_colour.b + 0.6 * plain_fill.b))}
                                      : plain_fill;
        EXPECT_TRUE(near(fill, expected, 3)) << c.saving << c.hovered << ": " << fill.r << " " << fill.g << " " << fill.b;
        const Rgb glow = rgb_at(painted.pixmap, glow_x, glow_y);
        EXPECT_EQ(glow.r > plain_glow.r + 4, c.glow) << c.saving << c.hovered;
    }
}

TEST(DropDownGeometry, RowsSpaceAndDirection)
{
    struct Case {
        const char* name;
        float field_top;
        std::int32_t count;
        float top;
        std::int32_t rows;
    };
    const Case cases[] = {
        {"language field, 10 options, opens upwards", 483, 10, 241, 10},
        {"window-mode field, 30 options, 18 fit below", 170, 30, 204, 18},
        {"short list below", 170, 3, 204, 3},
        {"at most 20 rows", 620, 40, 138, 20},
        {"no options", 170, 0, 204, 0},
        {"language field with the message line", 461, 3, 495, 3},
    };
    for (const Case& c : cases) {
        const DropDownGeometry list = drop_down_geometry(c.field_top, c.count);
        EXPECT_FLOAT_EQ(list.top, c.top) << c.name;
        EXPECT_EQ(list.rows, c.rows) << c.name;
        EXPECT_FLOAT_EQ(list.height, static_cast<float>(c.rows) * 24 + 2) << c.name;
    }
    // Every field of both dialog heights with any option count: inside 6..654, off the field box.
    for (bool message : {false, true})
        for (std::int32_t field = 0; field < 5; ++field)
            for (std::int32_t count = 1; count <= 40; ++count) {
                const float f = settings_field_top(message, field);
                const DropDownGeometry list = drop_down_geometry(f, count);
                EXPECT_LE(list.rows, 20);
                EXPECT_GE(list.rows, 1);
                EXPECT_GE(list.top, 6);
                EXPECT_LE(list.top + list.height, 654);
                EXPECT_TRUE(list.top >= f + 34 || list.top + list.height <= f) << field << " " << count;
            }
}

// The dialog with the list of a field open and settled on the frame.
struct OpenList : DialogScreen {
    OpenList(std::int32_t field, std::vector<OptionChoice> options, std::int32_t selected)
    {
        open();
        ui.settings.options[static_cast<std::size_t>(field)] = std::move(options);
        ui.settings.selected[static_cast<std::size_t>(field)] = selected;
        ui.screen_mode = screen_settings_list;
        ui.settings.open_field = field;
        settled_frame();
    }
};

std::vector<OptionChoice> numbered_options(int count)
{
    std::vector<OptionChoice> options;
    for (int i = 0; i < count; ++i)
        options.push_back({std::to_string(i), "Opção " + std::to_string(i)});
    return options;
}

TEST(DropDownList, LongListShowsEighteenRowsAndAScrollBar)
{
    struct Case {
        std::int32_t first_row;
        float thumb_top;
    };
    // Track 18 * 24 - 2 = 430 units, thumb 18 * 430 / 30 = 258 units.
    const Case cases[] = {{0, 206}, {6, 206 + 172 * 6 / 12.0f}, {12, 206 + 172}};
    for (const Case& c : cases) {
        OpenList list(0, numbered_options(30), 0);
        list.ui.settings.first_visible_row = c.first_row;
        list.ui.settings.settings_dirty = true;
        ASSERT_EQ(list.settled_frame().size(), 1u);
        const std::vector<HitRegion>& hits = list.ui.dialog_hits;
        ASSERT_EQ(hits.size(), settings_dialog_region_count + 1 + 18);
        EXPECT_EQ(hits[settings_dialog_region_count], (HitRegion{475, 204, 765, 638, hit_id::dialog_body, 0}));
        for (std::int32_t i = 0; i < 18; ++i) {
            const HitRegion& row = hits[settings_dialog_region_count + 1 + static_cast<std::size_t>(i)];
            const float r = 205 + 24.0f * static_cast<float>(i);
            EXPECT_EQ(row, (HitRegion{476, r, 764, r + 24, hit_id::dialog_list_option, c.first_row + i}));
        }
        const Pixmap& frame = list.ui.frame_canvas;
        const auto thumb_start = static_cast<std::uint32_t>(std::ceil(c.thumb_top)) + 3;
        const auto thumb_end = static_cast<std::uint32_t>(c.thumb_top + 258) - 3;
        for (std::uint32_t y : {thumb_start, (thumb_start + thumb_end) / 2, thumb_end})
            EXPECT_GT(rgb_at(frame, 761, y).r, 40) << c.first_row << " at " << y;
        if (c.first_row > 0)
            EXPECT_LT(rgb_at(frame, 761, 210).r, 30) << "no thumb above its place";
        else
            EXPECT_LT(rgb_at(frame, 761, 630).r, 30) << "no thumb below its place";
    }
}

TEST(DropDownList, ShortListHasNoScrollBar)
{
    OpenList list(2, numbered_options(7), 5);
    EXPECT_EQ(list.ui.dialog_hits.size(), settings_dialog_region_count + 1 + 7);
    for (std::uint32_t y = 320; y < 486; y += 4)
        EXPECT_LT(rgb_at(list.ui.frame_canvas, 761, y).r, 120) << y;
}

TEST(DropDownList, HighlightFollowsTheHoveredRowAndReturnsToTheSelectedOne)
{
    // Frame-rate field: top 284, list below it at 318, row i from 319 + 24 i.
    OpenList list(2, numbered_options(7), 5);
    auto highlighted = [&](int row) { return rgb_at(list.ui.frame_canvas, 480, 319 + 24 * row + 12).r > 50; };
    EXPECT_TRUE(highlighted(5));
    EXPECT_FALSE(highlighted(1));

    on_mouse_move(list.ui, 600, 319 + 24 * 1 + 12);
    EXPECT_EQ(list.ui.hover_id, hit_id::dialog_list_option);
    EXPECT_TRUE(settings_dialog_animating(list.ui));
    list.settled_frame();
    EXPECT_TRUE(highlighted(1));
    EXPECT_FALSE(highlighted(5));

    on_mouse_move(list.ui, 600, 100); // off the list
    list.settled_frame();
    EXPECT_TRUE(highlighted(5));
    EXPECT_FALSE(highlighted(1));
}

TEST(DropDownList, OpenFieldIsGoldAndTheLabelIsCut)
{
    OpenList list(2, {{"0", std::string(60, 'M')}}, 0);
    // The field's border is gold while its list is open.
    EXPECT_TRUE(goldish(rgb_at(list.ui.frame_canvas, 620, 68 + 216)));
    int rightmost = 0;
    for (std::uint32_t y = 322; y < 340; ++y)
        for (std::uint32_t x = 486; x < 764; ++x)
            if (rgb_at(list.ui.frame_canvas, x, y).r > 120)
                rightmost = std::max(rightmost, static_cast<int>(x));
    EXPECT_GT(rightmost, 700);
    EXPECT_LE(rightmost, 486 + 266);
}

TEST(SettingsFrame, OpeningFadesTheBackdropAndPopsTheDialog)
{
    DialogScreen screen;
    screen.open();
    const Pixmap sharp = screen.ui.settings.sharp_snapshot->clone();
    const Rgb sharp_colour = rgb_at(sharp, 100, 100);
    const Rgb blurred_colour = rgb_at(*screen.ui.settings.blurred_snapshot, 100, 100);

    struct Case {
        float since;
        float backdrop; // how far the outside has faded to the backdrop
        bool dialog_settled;
    };
    const Case cases[] = {
        {0, 0, false},
        {0.1f, cubic_bezier(ease_out_curve, 0.5f), false},
        {0.05f, cubic_bezier(ease_out_curve, 0.25f), false},
        {0.25f, 1, true},
        {2, 1, true},
    };
    for (const Case& c : cases) {
        screen.ui.settings.dialog_pixmap.reset(); // draw each time
        const std::vector<DirtyRect> rects = screen.frame_at(c.since);
        ASSERT_EQ(rects, (std::vector<DirtyRect>{{0, 0, 1100, 660}})) << c.since;
        const Pixmap& frame = screen.ui.frame_canvas;
        const Rgb outside = rgb_at(frame, 100, 100);
        const Rgb expected{static_cast<int>(std::lround(sharp_colour.r + (blurred_colour.r - sharp_colour.r) * c.backdrop)),
            static_cast<int>(std::lround(sharp_colour.g + (blurred_colour.g - sharp_colour.g) * c.backdrop)),
            static_cast<int>(std::lround(sharp_colour.b + (blurred_colour.b - sharp_colour.b) * c.backdrop))};
        EXPECT_TRUE(near(outside, expected, 2)) << c.since << ": " << outside.r << " " << outside.g << " " << outside.b;
        const Rgb body = rgb_at(frame, 320, 368);
        EXPECT_EQ(near(body, body_colour, 1), c.dialog_settled) << c.since;
        if (c.since == 0) {
            EXPECT_EQ(frame.at(550, 330), sharp.at(550, 330)) << "nothing of the dialog yet";
        }
    }
    // Part way into the pop the dialog is lower and smaller: its top edge has not reached y 68.
    screen.ui.settings.dialog_pixmap.reset();
    screen.frame_at(0.05f);
    EXPECT_FALSE(near(rgb_at(screen.ui.frame_canvas, 550, 72), body_colour, 1));
}

TEST(SettingsFrame, StillDialogIdlesUntilSomethingChanges)
{
    DialogScreen screen;
    screen.open();
    const std::vector<DirtyRect> whole{{0, 0, 1100, 660}};
    EXPECT_TRUE(settings_dialog_animating(screen.ui));
    EXPECT_EQ(screen.frame_at(0.3f), whole);
    EXPECT_FALSE(settings_dialog_animating(screen.ui));
    EXPECT_TRUE(screen.frame_at(0.4f).empty());
    EXPECT_TRUE(screen.frame_at(5).empty());

    mark_settings_dirty(screen.ui);
    EXPECT_TRUE(settings_dialog_animating(screen.ui));
    EXPECT_EQ(screen.frame_at(5.1f), whole);
    EXPECT_TRUE(screen.frame_at(5.2f).empty());

    // A whole redraw asked of the window (after a restore, say) is one frame, then idle again.
    screen.ui.redraw_all = true;
    EXPECT_TRUE(settings_dialog_animating(screen.ui));
    EXPECT_EQ(screen.frame_at(5.3f), whole);
    EXPECT_FALSE(screen.ui.redraw_all);
    EXPECT_TRUE(screen.frame_at(5.4f).empty());

    // A switch flip animates until its knob's tween ends, then idles again.
    screen.ui.clock = screen.ui.settings.opened_at + 6;
    on_mouse_move(screen.ui, 510, 68 + 340);
    const HitRegion pressed = settings_press(screen.ui, 510, 68 + 340);
    EXPECT_EQ(pressed.id, hit_id::dialog_sound);
    EXPECT_FALSE(settings_release(screen.ui, pressed, 510, 68 + 340));
    EXPECT_TRUE(screen.ui.settings.sound_on);
    for (float since : {6.0f, 6.05f, 6.15f, 6.19f})
        EXPECT_EQ(screen.frame_at(since), whole) << since;
    // The first frame past the knob's move draws it at rest; the next is idle.
    EXPECT_EQ(screen.frame_at(6.25f), whole);
    EXPECT_FALSE(settings_dialog_animating(screen.ui));
    EXPECT_TRUE(screen.frame_at(6.3f).empty());
}

TEST(SettingsFrame, AFrameThatJumpsPastTheAnimationDrawsTheDialogAtRestBeforeIdling)
{
    struct Case {
        const char* name;
        std::vector<float> drawn; // frames drawn part-way, seconds after opening
        float late;               // the frame after them, past every animation
        bool flip_sound;          // the sound knob starts moving at the first of them
    };
    const Case cases[] = {
        {"60 fps: the last frame of the pop is at 0.93", {0, 1 / 60.0f, 0.1f, 0.2f, 14 / 60.0f}, 0.25f, false},
        {"a pause of a tenth of a second", {0, 0.05f}, 0.45f, false},
        {"a pause long after the opening", {0.1f}, 30, false},
        {"a knob part-way when the clock jumps", {1, 1.1f}, 1.5f, true},
    };
    for (const Case& c : cases) {
        DialogScreen screen;
        screen.open();
        if (c.flip_sound) {
            screen.frame_at(0.5f);
            screen.ui.clock = screen.ui.settings.opened_at + c.drawn.front();
            const HitRegion pressed = settings_press(screen.ui, 510, 68 + 340);
            ASSERT_EQ(pressed.id, hit_id::dialog_sound) << c.name;
            settings_release(screen.ui, pressed, 510, 68 + 340);
        }
        for (float since : c.drawn)
            ASSERT_EQ(screen.frame_at(since).size(), 1u) << c.name << " " << since;
        EXPECT_TRUE(settings_dialog_animating(screen.ui)) << c.name;
        EXPECT_EQ(screen.frame_at(c.late), (std::vector<DirtyRect>{{0, 0, 1100, 660}})) << c.name;
        EXPECT_TRUE(screen.frame_at(c.late + 0.5f).empty()) << c.name;
        EXPECT_FALSE(settings_dialog_animating(screen.ui)) << c.name;

        // What the window keeps equals the dialog drawn again later (as a hover would).
        const Pixmap kept = screen.ui.frame_canvas.clone();
        mark_settings_dirty(screen.ui);
        ASSERT_EQ(screen.frame_at(c.late + 1).size(), 1u) << c.name;
        EXPECT_TRUE(std::ranges::equal(kept.pixels(), screen.ui.frame_canvas.pixels())) << c.name;
    }
}

TEST(SettingsFrame, RenderFrameShowsTheDialogOverTheFrozenMainScreen)
{
    DialogScreen screen;
    UiState& ui = screen.ui;
    advance_clock(ui, 3);
    const Pixmap main = ui.frame_canvas.clone();
    screen.open();
    EXPECT_EQ(render_frame(ui), (std::vector<DirtyRect>{{0, 0, 1100, 660}}));
    rewind_start_instant(ui, std::chrono::seconds(1));
    render_frame(ui);
    EXPECT_TRUE(render_frame(ui).empty());
    // The main screen under the dialog is the snapshot, blurred and darker.
    const Rgb before = rgb_at(main, 900, 600);
    const Rgb after = rgb_at(ui.frame_canvas, 900, 600);
    EXPECT_LT(after.r + after.g + after.b, before.r + before.g + before.b);

    close_settings_dialog(ui);
    EXPECT_EQ(render_frame(ui), (std::vector<DirtyRect>{{0, 0, 1100, 660}}));
    EXPECT_TRUE(ui.dialog_hits.empty());
    EXPECT_FALSE(ui.settings.sharp_snapshot);
    stop_background_worker(ui);
}

TEST(SettingsFrame, ScaleChangeKeepsTheDialogAndItsSnapshots)
{
    DialogScreen screen;
    screen.open();
    screen.settled_frame();
    apply_scale(screen.ui, 2);
    ASSERT_EQ(screen.ui.settings.sharp_snapshot->width(), 2200u);
    EXPECT_EQ(screen.settled_frame(), (std::vector<DirtyRect>{{0, 0, 2200, 1320}}));
    EXPECT_TRUE(near(rgb_at(screen.ui.frame_canvas, 640, 736), body_colour, 1));
    stop_background_worker(screen.ui);
}

} // namespace
} // namespace torvane
