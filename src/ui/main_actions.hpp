// Performs what a click asked for: a link in the browser, Play (start the game, or update it
// first), minimise and close, the settings dialog, the window-mode switch and the dialog's save.
#pragma once

#include "ui/app_state.hpp"
#include "ui/ui_action.hpp"

#include <string>
#include <string_view>

namespace torvane {

void handle_action(AppState& app, UiAction action);

// The trimmed address when it is an http or https address (scheme in any case); none otherwise.
std::optional<std::string> openable_url(std::string_view url);

// The service site's news page.
std::string all_news_url();

} // namespace torvane
