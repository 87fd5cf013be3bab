// The game settings dialog: opening it over a blurred snapshot of the main screen, saving what was
// edited, and its pointer and keyboard input. The window procedure calls these while
// ui.screen_mode is not screen_main; the frame renderer draws the dialog.
#pragma once

#include "game/game_settings.hpp"
#include "ui/ui_action.hpp"
#include "ui/ui_state.hpp"
#include "ui/ui_state_types.hpp"

#include <filesystem>
#include <optional>

namespace torvane {

// The OpenSettings action: loads the game settings of game_folder, builds the five option lists
// (languages fixed when managed_update) and opens the dialog (screen_mode becomes screen_settings).
void open_settings(UiState& ui, const std::filesystem::path& game_folder, bool managed_update);

// The SaveSettings action: merges the edited record into the stored settings and saves them. On
// success the dialog closes and the window-mode toggle follows the saved mode; on failure the
// dialog stays open with "Não foi possível salvar as configurações: {}".
void save_settings(UiState& ui, const std::filesystem::path& game_folder, const GameSettings& edited);

// Closes the dialog (Escape, its close and Cancel buttons, a press outside it): drops its model,
// returns to the main screen, hit-tests the last pointer position again and redraws everything.
void close_settings_dialog(UiState& ui);

// The dialog's hit list searched back to front; a point over nothing is id 9 (outside).
HitRegion settings_hit_test(const UiState& ui, float x, float y);

// A left-button press at the logical point with the dialog open; returns what was pressed.
HitRegion settings_press(UiState& ui, float x, float y);

// The release of the button pressed on `pressed` at the logical point; returns the action to hand
// to handle_action (only Save gives one).
std::optional<UiAction> settings_release(UiState& ui, const HitRegion& pressed, float x, float y);

// Escape: closes an open list, else the dialog.
void settings_escape(UiState& ui);

// The mouse wheel over an open list: three rows up (delta > 0) or down, within the list.
void settings_wheel(UiState& ui, std::int32_t delta);

// Something the dialog shows may have changed (the pointer left the window): draw it again.
void mark_settings_dirty(UiState& ui);

// Whether the open dialog needs frames: it opened less than 0.3 s ago on the animation clock, no
// frame showing it at rest has been drawn yet, it is marked dirty or a whole redraw is pending, or
// one of its switch knobs is still moving.
bool settings_dialog_animating(const UiState& ui);

} // namespace torvane
