#include "ui/update_start.hpp"

#include "ui/game_start.hpp"
#include "ui/layout.hpp"
#include "update/manifest_update.hpp"

#include <utility>

namespace torvane {

void start_update_check(AppState& app)
{
    if (app.update_running)
        return;
    UiState& ui = app.ui;
    app.update_done = false;
    ui.play_enabled = false;
    ui.play_label = "verificando...";
    ui.texts_dirty = true;

    if (app.managed_update) {
        app.update_running = true;
        app.services.start_sealed_update(app.events_tx, app.base_dir, app.game_dir, app.stop_flag, app.test_mode);
        return;
    }
    if (app.config.update && app.config.update->enabled) {
        app.update_running = true;
        app.services.start_manifest_update(
            ManifestUpdateInputs{app.events_tx, app.base_dir, *app.config.update, app.stop_flag, app.test_mode});
        return;
    }
    set_status(ui, {.label = "Atualização automática desativada. Cliente pronto.", .thin_bar_percent = 100,
                       .main_bar_percent = 100, .detail = "-"});
    app.update_done = true;
    ui.play_enabled = true;
    ui.play_label = "cliente pronto";
    ui.texts_dirty = true;
    if (app.play_pending) {
        app.play_pending = false;
        launch_game(app);
    }
}

void manifest_update_worker(ManifestUpdateInputs inputs)
{
    ManifestRunContext context;
    context.base_folder = inputs.base_folder;
    context.test_flag = inputs.test_flag;
    context.relaunch = false;
    Result<bool> outcome = [&]() -> Result<bool> {
        UiProgressSink sink(inputs.sender);
        Status status = run_update(context, inputs.update, sink, *inputs.stop_flag);
        if (!status)
            return failure(status.error());
        return context.relaunch;
    }();
    send_ui_message(inputs.sender, ui_message::Finished{std::move(outcome)});
}

} // namespace torvane
