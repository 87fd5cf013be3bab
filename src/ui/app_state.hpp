// The one record the UI thread owns while the window exists, the window actions that UI code
// queues instead of calling the window while it holds that record, and the seams through which it
// starts threads and programs (tests replace them).
#pragma once

#include "core/launcher_config.hpp"
#include "core/ui_message.hpp"
#include "platform/message_box.hpp"
#include "platform/process.hpp"
#include "ui/ui_state.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace torvane {

namespace window_action {
struct Minimize {};
struct Close {};
struct MessageBox {
    std::string text;
    platform::MessageIcon icon = platform::MessageIcon::Error;
};
struct RestartLauncher {};
struct ArmCloseTimer {};
} // namespace window_action

using WindowAction = std::variant<window_action::Minimize, window_action::Close, window_action::MessageBox,
    window_action::RestartLauncher, window_action::ArmCloseTimer>;

// The timer that closes the launcher (or offers another client) after a game start.
inline constexpr std::int32_t close_timer_id = 7;
inline constexpr std::chrono::milliseconds close_timer_delay{15000};

// What the plain (manifest) update thread is given.
struct ManifestUpdateInputs {
    UiSender sender;
    std::filesystem::path base_folder;
    UpdateConfig update; // "Enabled" true
    std::shared_ptr<std::atomic<bool>> stop_flag;
    bool test_flag = false;
};

// How the window starts its background work and other programs. The defaults start detached
// threads and real processes; tests record instead.
struct AppServices {
    std::function<void(UiSender sender, std::filesystem::path base_folder, std::filesystem::path installed_folder,
        std::shared_ptr<std::atomic<bool>> stop_flag, bool test_flag)>
        start_sealed_update;
    std::function<void(ManifestUpdateInputs inputs)> start_manifest_update;
    std::function<void(UiSender sender)> start_config_fetch;
    std::function<void(UiSender sender, std::filesystem::path game_folder, std::shared_ptr<std::atomic<bool>> stop_flag,
        bool managed_update)>
        start_status_probe;
    std::function<Status(const platform::ProgramLaunch& launch)> start_process;
    std::function<Status(std::string_view url)> open_url;
    std::function<std::chrono::steady_clock::time_point()> now;
    // The launcher's own executable, started again after it replaced itself.
    std::function<std::filesystem::path()> running_executable;
};

struct AppState;
// Appends an action to the window's queue.
void queue_window_action(AppState& app, WindowAction action);

// Threads and processes for real.
AppServices default_app_services();

struct AppState {
    UiState ui;
    UiSender events_tx;                 // cloned into every worker
    std::shared_ptr<UiChannel> events_rx; // drained by the window procedure
    std::optional<std::chrono::steady_clock::time_point> client_ready_at;
    std::filesystem::path base_dir;
    std::filesystem::path game_dir; // the active release folder or base_dir
    std::vector<WindowAction> actions;
    LauncherConfig config;
    std::shared_ptr<std::atomic<bool>> stop_flag = std::make_shared<std::atomic<bool>>(false);
    bool managed_update = true;
    bool update_done = false;
    bool update_running = false;
    bool play_pending = false;
    bool test_mode = false;
    AppServices services = default_app_services();
};

} // namespace torvane
