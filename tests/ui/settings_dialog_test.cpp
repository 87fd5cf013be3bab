#include "ui/settings_dialog.hpp"

#include "dialog_screen.hpp"
#include "game/game_settings.hpp"
#include "platform/registry.hpp"
#include "ui/motion.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The dialog opened by the settings action on a game folder with its own registry store; every
// input goes through the settings_* functions as the window procedure calls them.
class SettingsInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::set_registry_root(screen.base.path() / "store");
        screen.ui.pointer_x = 900; // over the main screen's Play button
        screen.ui.pointer_y = 600;
    }
    void TearDown() override
    {
        platform::clear_registry_refusals();
        platform::set_registry_root({});
    }

    void open(bool managed = true)
    {
        open_settings(screen.ui, game, managed);
        screen.settled_frame();
    }
    // A click: the pointer moves there, presses and releases; then the next frame is drawn.
    std::optional<UiAction> click(float x, float y)
    {
        on_mouse_move(screen.ui, x, y);
        const HitRegion pressed = settings_press(screen.ui, x, y);
        std::optional<UiAction> action = settings_release(screen.ui, pressed, x, y);
        if (screen.ui.screen_mode != screen_main)
            screen.settled_frame();
        return action;
    }
    static float field_y(std::int32_t field, bool message = false) { return settings_field_top(message, field) + 17; }
    // The middle of an open list's row showing the option.
    float row_y(std::int32_t option) const
    {
        const SettingsModel& s = screen.ui.settings;
        const auto field = static_cast<std::size_t>(*s.open_field);
        const DropDownGeometry list = drop_down_geometry(settings_field_top(s.message.has_value(), *s.open_field),
            static_cast<std::int32_t>(s.options[field].size()));
        return list.top + 1 + 24.0f * static_cast<float>(option - s.first_visible_row) + 12;
    }

    test::DialogScreen screen;
    fs::path game = screen.base.path() / "game";
};

TEST_F(SettingsInput, OpenSettingsReadsTheStoredValuesAndTheLists)
{
    ASSERT_TRUE(save_game_settings(game, GameSettings{.language = "Eng", .window_mode = 0, .resolution = 4,
                                             .fps_index = 2, .render_state = 1, .volume = 7, .sound_on = false,
                                             .music_on = true}));
    struct Case {
        bool managed;
        std::size_t languages;
        std::int32_t language_index;
    };
    // Without managed updating only the language folders found count: none here, Portuguese alone.
    const Case cases[] = {{true, 3, 1}, {false, 1, 0}};
    for (const Case& c : cases) {
        open(c.managed);
        const SettingsModel& s = screen.ui.settings;
        EXPECT_EQ(screen.ui.screen_mode, screen_settings);
        EXPECT_EQ(s.options[0].size(), 3u);
        EXPECT_EQ(s.options[1].size(), 20u) << "the built-in resolutions";
        EXPECT_EQ(s.options[2].size(), 7u);
        EXPECT_EQ(s.options[3].size(), 2u);
        EXPECT_EQ(s.options[4].size(), c.languages);
        EXPECT_EQ(s.selected, (std::array<std::int32_t, 5>{1, 4, 2, 1, c.language_index}));
        EXPECT_EQ(s.volume, 7);
        EXPECT_FALSE(s.sound_on);
        EXPECT_TRUE(s.music_on);
        EXPECT_EQ(screen.ui.dialog_hits.size(), settings_dialog_region_count);
        close_settings_dialog(screen.ui);
    }
}

TEST_F(SettingsInput, EscapeClosesTheListFirstThenTheDialog)
{
    open();
    click(620, field_y(2));
    ASSERT_EQ(screen.ui.screen_mode, screen_settings_list);
    EXPECT_GT(screen.ui.dialog_hits.size(), settings_dialog_region_count);
    settings_escape(screen.ui);
    EXPECT_EQ(screen.ui.screen_mode, screen_settings);
    EXPECT_EQ(screen.ui.dialog_hits.size(), settings_dialog_region_count) << "the list's rows left the hit list";
    EXPECT_TRUE(screen.ui.settings.settings_dirty);
    settings_escape(screen.ui);
    EXPECT_EQ(screen.ui.screen_mode, screen_main);
    EXPECT_TRUE(screen.ui.redraw_all);
    EXPECT_TRUE(screen.ui.main_dirty);
    EXPECT_EQ(screen.ui.hover_id, hit_id::none) << "hit-tested again on the main screen";
    settings_escape(screen.ui); // nothing on the main screen
    EXPECT_EQ(screen.ui.screen_mode, screen_main);
}

TEST_F(SettingsInput, ListRowIsChosenOnPress)
{
    open();
    click(620, field_y(2));
    ASSERT_EQ(screen.ui.settings.open_field, 2);
    const float y = row_y(1);
    on_mouse_move(screen.ui, 600, y);
    const HitRegion pressed = settings_press(screen.ui, 600, y);
    EXPECT_EQ(pressed.id, hit_id::dialog_list_option);
    EXPECT_EQ(screen.ui.settings.selected[2], 1);
    EXPECT_EQ(screen.ui.screen_mode, screen_settings);
    // The release lands on whatever lies under the closed list and starts nothing.
    EXPECT_FALSE(settings_release(screen.ui, pressed, 600, y));
    EXPECT_EQ(screen.ui.screen_mode, screen_settings);
}

TEST_F(SettingsInput, PressOutsideClosesTheListOrTheDialog)
{
    open();
    click(620, field_y(0));
    ASSERT_EQ(screen.ui.screen_mode, screen_settings_list);
    const std::int32_t before = screen.ui.settings.selected[0];
    click(100, 100);
    EXPECT_EQ(screen.ui.screen_mode, screen_settings) << "only the list closes";
    EXPECT_EQ(screen.ui.settings.selected[0], before);
    const HitRegion pressed = settings_press(screen.ui, 100, 100);
    EXPECT_EQ(pressed.id, hit_id::dialog_outside);
    EXPECT_EQ(screen.ui.screen_mode, screen_main);
    EXPECT_FALSE(screen.ui.settings.sharp_snapshot) << "the dialog's model is dropped";
}

TEST_F(SettingsInput, ListOpensAroundItsSelection)
{
    struct Case {
        std::int32_t selected;
        std::int32_t first_row;
    };
    // The resolution field shows 16 of its 20 built-in rows.
    const Case cases[] = {{1, 0}, {8, 0}, {10, 2}, {19, 4}};
    for (const Case& c : cases) {
        open();
        screen.ui.settings.selected[1] = c.selected;
        click(620, field_y(1));
        EXPECT_EQ(screen.ui.settings.first_visible_row, c.first_row) << c.selected;
        close_settings_dialog(screen.ui);
    }
}

TEST_F(SettingsInput, WheelMovesThreeRowsAndStopsAtBothEnds)
{
    open();
    click(620, field_y(1));
    ASSERT_EQ(screen.ui.settings.first_visible_row, 0);
    struct Step {
        std::int32_t delta;
        std::int32_t first_row;
    };
    const Step steps[] = {{-120, 3}, {-120, 4}, {-1, 4}, {120, 1}, {120, 0}, {240, 0}};
    for (const Step& step : steps) {
        screen.ui.settings.settings_dirty = false;
        settings_wheel(screen.ui, step.delta);
        EXPECT_EQ(screen.ui.settings.first_visible_row, step.first_row) << step.delta;
        EXPECT_TRUE(screen.ui.settings.settings_dirty);
    }
    settings_escape(screen.ui);
    settings_wheel(screen.ui, -120);
    EXPECT_EQ(screen.ui.settings.first_visible_row, 0) << "no list, no scrolling";
}

TEST_F(SettingsInput, SliderJumpsOnPressAndFollowsTheDrag)
{
    open();
    const float y = 68 + 368;
    on_mouse_move(screen.ui, 596, y);
    const HitRegion pressed = settings_press(screen.ui, 596, y);
    EXPECT_EQ(pressed.id, hit_id::dialog_volume);
    EXPECT_EQ(screen.ui.settings.volume, 5);
    on_mouse_move(screen.ui, 1000, 20); // far outside, still dragging
    EXPECT_EQ(screen.ui.settings.volume, 10);
    EXPECT_FALSE(settings_release(screen.ui, pressed, 1000, 20));
    EXPECT_FALSE(screen.ui.settings.slider_dragging);
    EXPECT_EQ(screen.ui.screen_mode, screen_settings) << "a drag released outside does not close";
    on_mouse_move(screen.ui, 484.5f, y);
    EXPECT_EQ(screen.ui.settings.volume, 10);
}

TEST_F(SettingsInput, ButtonsActOnlyWhenReleasedOverThemselves)
{
    struct Case {
        const char* name;
        float press_x, press_y, release_x, release_y;
        bool sound_on, open_list, closed;
    };
    const float switch_y = 68 + 340, cancel_y = 537 + 17;
    const Case cases[] = {
        {"switch", 510, switch_y, 510, switch_y, true, false, false},
        {"switch, released elsewhere", 510, switch_y, 620, 300, false, false, false},
        {"field header", 620, field_y(3), 630, field_y(3), false, true, false},
        {"header pressed, another released", 620, field_y(3), 620, field_y(0), false, false, false},
        {"close button", 748, 68 + 35, 748, 68 + 35, false, false, true},
        {"Cancel", 590, cancel_y, 590, cancel_y, false, false, true},
        {"Cancel pressed, body released", 590, cancel_y, 400, 300, false, false, false},
    };
    for (const Case& c : cases) {
        open();
        screen.ui.settings.sound_on = false;
        on_mouse_move(screen.ui, c.press_x, c.press_y);
        const HitRegion pressed = settings_press(screen.ui, c.press_x, c.press_y);
        on_mouse_move(screen.ui, c.release_x, c.release_y);
        EXPECT_FALSE(settings_release(screen.ui, pressed, c.release_x, c.release_y)) << c.name;
        EXPECT_EQ(screen.ui.screen_mode == screen_main, c.closed) << c.name;
        if (c.closed)
            continue;
        EXPECT_EQ(screen.ui.settings.sound_on, c.sound_on) << c.name;
        EXPECT_EQ(screen.ui.screen_mode == screen_settings_list, c.open_list) << c.name;
        close_settings_dialog(screen.ui);
    }
}

TEST_F(SettingsInput, SaveWritesTheStoreAndTheIniThenCloses)
{
    ASSERT_TRUE(save_game_settings(game, GameSettings{.window_mode = 1}));
    screen.ui.windowed_on = true;
    open();
    // Full screen, the 360 FPS row, music on.
    click(620, field_y(0));
    click(600, row_y(2));
    click(620, field_y(2));
    click(600, row_y(6));
    click(740, 68 + 340);
    ASSERT_EQ(screen.ui.settings.selected[2], 6);

    std::optional<UiAction> action = click(710, 537 + 17);
    ASSERT_TRUE(action && std::holds_alternative<ui_action::SaveSettings>(*action));
    EXPECT_TRUE(screen.ui.settings.saving);
    EXPECT_FALSE(click(710, 537 + 17)) << "no second save while one runs";

    const GameSettings edited = std::get<ui_action::SaveSettings>(*action).settings;
    EXPECT_EQ(edited.window_mode, 2);
    EXPECT_EQ(edited.fps_index, 6u);
    EXPECT_TRUE(edited.music_on);
    EXPECT_EQ(edited.language, "Por");
    save_settings(screen.ui, game, edited);

    EXPECT_EQ(screen.ui.screen_mode, screen_main);
    EXPECT_FALSE(screen.ui.windowed_on) << "the toggle follows the saved mode";
    EXPECT_FLOAT_EQ(screen.ui.window_mode_tween.to, 0);
    EXPECT_TRUE(screen.ui.texts_dirty && screen.ui.main_dirty && screen.ui.redraw_all);
    const GameSettings stored = load_game_settings(game);
    EXPECT_EQ(stored.window_mode, 2);
    EXPECT_EQ(stored.fps_index, 6u);
    EXPECT_TRUE(stored.music_on);
    EXPECT_EQ(screen.base.read("game/Data/Custom/config.ini"), "[FPS]\r\nLimit=360\r\n");
}

TEST_F(SettingsInput, RefusedSaveKeepsTheDialogWithTheMessage)
{
    open();
    platform::refuse_registry_write("RenderState");
    std::optional<UiAction> action = click(710, 537 + 17);
    ASSERT_TRUE(action);
    save_settings(screen.ui, game, std::get<ui_action::SaveSettings>(*action).settings);
    EXPECT_EQ(screen.ui.screen_mode, screen_settings);
    EXPECT_FALSE(screen.ui.settings.saving);
    ASSERT_TRUE(screen.ui.settings.message);
    EXPECT_EQ(*screen.ui.settings.message,
        "Não foi possível salvar as configurações: o Windows recusou a gravação no registro");
    EXPECT_TRUE(settings_dialog_animating(screen.ui));
    screen.settled_frame();
    // The dialog grew by the message line: Save moved down to 560 and can be pressed again.
    EXPECT_EQ(screen.ui.dialog_hits.front(), (HitRegion{310, 46, 790, 615, hit_id::dialog_body, 0}));
    const test::Rgb message_box = test::rgb_at(screen.ui.frame_canvas, 400, 46 + 470);
    EXPECT_GT(message_box.r, 15 + 15) << "the red message box shows over the body (15, 22, 20)";
    platform::clear_registry_refusals();
    action = click(710, 560 + 17);
    ASSERT_TRUE(action);
    save_settings(screen.ui, game, std::get<ui_action::SaveSettings>(*action).settings);
    EXPECT_EQ(screen.ui.screen_mode, screen_main);
}

TEST_F(SettingsInput, SaveMergesTheEditedRecordIntoTheStoredOne)
{
    const GameSettings stored{.language = "Spn", .window_mode = 0, .resolution = 3, .fps_index = 1, .render_state = 0,
        .volume = 4, .sound_on = true, .music_on = false};
    struct Case {
        const char* name;
        GameSettings edited;
        GameSettings saved;
    };
    const Case cases[] = {
        {"unknown window mode and language kept", {.language = "por", .window_mode = 5, .resolution = 9, .fps_index = 3},
            {.language = "Spn", .window_mode = 0, .resolution = 9, .fps_index = 3, .render_state = 0, .volume = 5,
                .sound_on = true, .music_on = false}},
        {"limits clamped", {.language = "Eng", .window_mode = 2, .resolution = 1, .fps_index = 9, .render_state = 7,
                               .volume = 14, .sound_on = false, .music_on = true},
            {.language = "Eng", .window_mode = 2, .resolution = 1, .fps_index = 6, .render_state = 1, .volume = 10,
                .sound_on = false, .music_on = true}},
        {"empty language kept", {.language = "", .window_mode = 1, .volume = -3},
            {.language = "Spn", .window_mode = 1, .resolution = 1, .fps_index = 5, .render_state = 0, .volume = 0,
                .sound_on = true, .music_on = false}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(save_game_settings(game, stored));
        open();
        save_settings(screen.ui, game, c.edited);
        EXPECT_EQ(load_game_settings(game), c.saved) << c.name;
        EXPECT_EQ(screen.ui.windowed_on, c.saved.window_mode == 1) << c.name;
    }
}

} // namespace
} // namespace torvane
