#include "ui/game_start.hpp"

#include "core/game_client_files.hpp"
#include "platform/unicode.hpp"
#include "platform/path_text.hpp"
#include "update/signatures.hpp"

#include <optional>

namespace torvane {

namespace {

void queue_start_failure(AppState& app, std::string_view error)
{
    queue_window_action(app, window_action::MessageBox{"Não foi possível abrir o jogo:\n" + std::string(error), platform::MessageIcon::Error});
}

void restore_play_button(AppState& app)
{
    app.update_done = true;
    app.ui.play_enabled = true;
    app.ui.play_label = "cliente pronto";
    app.ui.texts_dirty = true;
}

} // namespace

std::string game_exe_name(const AppState& app)
{
    if (!app.managed_update && app.config.game_exe && !platform::trim_unicode_white_space(*app.config.game_exe).empty())
        return *app.config.game_exe;
    return game_client::executable;
}

void launch_game(AppState& app)
{
    app.update_done = false;
    app.ui.play_enabled = false;
    app.ui.play_label = "abrindo o jogo...";
    app.ui.texts_dirty = true;

    std::filesystem::path executable = app.game_dir / game_exe_name(app);

    // In managed mode the verified file stays open and share-locked; the game inherits that
    // descriptor, so the release it runs from is never pruned while it runs.
    std::optional<platform::FileHandle> verified;
    if (app.managed_update) {
        Result<platform::FileHandle> checked = verify_client_signature(executable);
        if (!checked) {
            queue_start_failure(app, checked.error());
            restore_play_button(app);
            return;
        }
        verified = std::move(*checked);
    }

    // A verified client starts from its open descriptor, never by its path again: a file renamed
    // over the path after the check is not what runs.
    platform::ProgramLaunch launch;
    launch.working_folder = app.game_dir;
    Result<platform::ExecutableKind> kind = verified ? platform::executable_kind(*verified) : platform::executable_kind(executable);
    if (kind && *kind == platform::ExecutableKind::Windows) {
        launch.program = "wine";
        const std::filesystem::path started = verified ? platform::inherited_descriptor_path(verified->descriptor()) : executable;
        launch.arguments = {platform::path_utf8(started), "-launcher"};
    } else {
        launch.program = executable;
        launch.arguments = {"-launcher"};
        if (verified)
            launch.run_from = platform::RunFrom::InheritedDescriptor;
    }
    if (verified)
        launch.inherited_descriptor = verified->descriptor();

    Status started = kind ? app.services.start_process(launch) : Status(failure(kind.error()));
    if (!started) {
        // A start the player declined (the elevation prompt) shows nothing.
        if (started.error() != cancelled_text)
            queue_start_failure(app, started.error());
        restore_play_button(app);
        return;
    }
    queue_window_action(app, window_action::Minimize{});
    queue_window_action(app, window_action::ArmCloseTimer{});
}

} // namespace torvane
