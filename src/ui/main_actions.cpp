#include "ui/main_actions.hpp"

#include "build_config.hpp"
#include "core/overloaded.hpp"
#include "core/service_endpoints.hpp"
#include "game/game_settings.hpp"
#include "platform/unicode.hpp"
#include "ui/game_start.hpp"
#include "ui/settings_dialog.hpp"
#include "ui/update_start.hpp"

#include <chrono>
#include <system_error>

namespace torvane {

namespace {

bool starts_with_ascii_case(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && platform::equal_ignoring_ascii_case(text.substr(0, prefix.size()), prefix);
}

// The client counts as freshly checked for this long after an update ended well.
constexpr std::chrono::milliseconds fresh_client_window{60000};

void play(AppState& app)
{
    if (!app.update_done)
        return;
    std::filesystem::path executable = app.game_dir / game_exe_name(app);
    std::error_code error;
    (void)std::filesystem::symlink_status(executable, error);
    if (error) {
        if (app.managed_update) {
            start_update_check(app);
        } else {
            queue_window_action(app, window_action::MessageBox{
                "Não encontrei o " + game_exe_name(app) + " nesta pasta.\nColoque o launcher na pasta do jogo.",
                platform::MessageIcon::Warning});
        }
        return;
    }
    bool checks_first = app.managed_update || (app.config.update && app.config.update->enabled);
    if (!checks_first) {
        launch_game(app);
        return;
    }
    bool fresh = app.client_ready_at && app.services.now() - *app.client_ready_at <= fresh_client_window;
    if (fresh) {
        launch_game(app);
        return;
    }
    app.play_pending = true;
    start_update_check(app);
}

void set_windowed(AppState& app, bool on)
{
    GameSettings settings = load_game_settings(app.game_dir);
    if (on)
        settings.window_mode = 1;
    else if (settings.window_mode == 1)
        settings.window_mode = 0;
    // The switch already shows the new state; a refused write is not reported.
    (void)save_game_settings(app.game_dir, settings);
}

} // namespace

std::optional<std::string> openable_url(std::string_view url)
{
    std::string_view trimmed = platform::trim_unicode_white_space(url);
    if (starts_with_ascii_case(trimmed, "http://") || starts_with_ascii_case(trimmed, "https://"))
        return std::string(trimmed);
    return std::nullopt;
}

std::string all_news_url() { return service::origin_url(build::web_origin, "/media"); }

void handle_action(AppState& app, UiAction action)
{
    std::visit(Overloaded{
                   [&](ui_action::OpenLink& link) {
                       if (std::optional<std::string> url = openable_url(link.url))
                           (void)app.services.open_url(*url);
                   },
                   [&](ui_action::Play&) { play(app); },
                   [&](ui_action::Minimize&) { queue_window_action(app, window_action::Minimize{}); },
                   [&](ui_action::Close&) { queue_window_action(app, window_action::Close{}); },
                   [&](ui_action::OpenSettings&) { open_settings(app.ui, app.game_dir, app.managed_update); },
                   [&](ui_action::SetWindowed& windowed) { set_windowed(app, windowed.on); },
                   [&](ui_action::SaveSettings& save) { save_settings(app.ui, app.game_dir, save.settings); },
               },
        action);
}

} // namespace torvane
