// The headless client download test (`--baixar-cliente`): the self-update and the signed client
// install run exactly as the window runs them, and what happened is written to
// Data/Launcher/cliente_teste.log under the game folder.
#pragma once

#include "app/test_log.hpp"

#include "core/ui_message.hpp"
#include "update/client_update.hpp"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace torvane {

// <base_dir>/Data/Launcher/cliente_teste.log
std::filesystem::path client_test_log_path(const std::filesystem::path& base_dir);

// The client test's sink: one log line per phase and per tenth of the overall progress.
class ClientTestProgressLogger final : public ProgressSink {
public:
    explicit ClientTestProgressLogger(std::chrono::steady_clock::time_point start) : start_(start) {}

    // Logs a Progress report unless its phase (the text before its first ':') and its tenth of
    // overall progress equal the last logged ones. Other messages are ignored.
    void call(UiMessage message) override;
    void log(const ProgressReport& report);
    std::vector<std::string> take_lines();

private:
    const std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::string last_key_;
};

// Runs the mode on base_dir against the given service; 0 when the client was installed (whatever
// the final signature line says), 1 on failure. The log is replaced on every run.
int run_client_test(const std::filesystem::path& base_dir, bool test_flag, const UpdateService& service);


} // namespace torvane
