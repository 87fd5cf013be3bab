// What a click on the main screen or in the settings dialog asks of the launcher; performed by
// handle_action on the UI thread.
#pragma once

#include "game/game_settings.hpp"

#include <string>
#include <variant>

namespace torvane {

namespace ui_action {
struct OpenLink {
    std::string url;
};
struct Play {};
struct Minimize {};
struct Close {};
struct OpenSettings {};
struct SetWindowed {
    bool on = false;
};
struct SaveSettings {
    GameSettings settings; // as edited in the dialog
};
} // namespace ui_action

using UiAction = std::variant<ui_action::OpenLink, ui_action::Play, ui_action::Minimize, ui_action::Close,
    ui_action::OpenSettings, ui_action::SetWindowed, ui_action::SaveSettings>;

} // namespace torvane
