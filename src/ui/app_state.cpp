#include "ui/app_state.hpp"

#include "core/threads.hpp"
#include "core/util.hpp"
#include "game/server_status.hpp"
#include "ui/update_start.hpp"
#include "update/client_update.hpp"
#include "update/config_fetch.hpp"

namespace torvane {

// GCC 12 warns that a moved-from variant's string may be uninitialized here; it is not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
void queue_window_action(AppState& app, WindowAction action) { app.actions.push_back(std::move(action)); }
#pragma GCC diagnostic pop

AppServices default_app_services()
{
    AppServices services;
    services.start_sealed_update = [](UiSender sender, std::filesystem::path base_folder,
                                       std::filesystem::path installed_folder, std::shared_ptr<std::atomic<bool>> stop_flag,
                                       bool test_flag) {
        SealedUpdateContext context{std::move(sender), std::move(base_folder), std::move(installed_folder), test_flag,
            std::move(stop_flag)};
        spawn_detached(sealed_update_worker, std::move(context));
    };
    services.start_manifest_update = [](ManifestUpdateInputs inputs) {
        spawn_detached(manifest_update_worker, std::move(inputs));
    };
    services.start_config_fetch = [](UiSender sender) { spawn_detached(launcher_config_fetch_worker, std::move(sender)); };
    services.start_status_probe = [](UiSender sender, std::filesystem::path game_folder,
                                      std::shared_ptr<std::atomic<bool>> stop_flag, bool managed_update) {
        spawn_server_status_worker(std::move(sender), std::move(game_folder), std::move(stop_flag), managed_update);
    };
    services.start_process = [](const platform::ProgramLaunch& launch) { return platform::start_detached(launch); };
    services.open_url = [](std::string_view url) { return platform::open_url(url); };
    services.now = [] { return std::chrono::steady_clock::now(); };
    services.running_executable = [] { return current_exe_or_default(); };
    return services;
}

} // namespace torvane
