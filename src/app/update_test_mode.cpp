#include "app/update_test_mode.hpp"

#include "app/modes.hpp"
#include "core/launcher_config_cache.hpp"
#include "platform/files.hpp"
#include "update/manifest_update.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace torvane {

std::filesystem::path update_test_log_path(const std::filesystem::path& base_dir)
{
    return base_dir / "Data" / "Launcher" / "atualizacao_teste.log";
}

void UpdateTestStatusLogger::call(UiMessage message)
{
    const auto* progress = std::get_if<ui_message::Progress>(&message);
    if (!progress)
        return;
    const ProgressReport& report = progress->report;
    std::string line = report.detail.empty() ? report.text : report.text + " " + report.detail;
    std::lock_guard lock(mutex_);
    if (report.text == last_text_ && !report.text.starts_with("Baixando"))
        return;
    last_text_ = report.text;
    if (std::ranges::find(lines_, line) == lines_.end())
        lines_.push_back(std::move(line));
}

std::vector<std::string> UpdateTestStatusLogger::lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

std::string update_test_success_line(double seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "OK em %.1f s", seconds);
    std::string line = text;
    std::replace(line.begin(), line.end(), '.', ',');
    return line;
}

int run_update_test(const fs::path& base_dir, bool test_flag)
{
    const fs::path log_path = update_test_log_path(base_dir);
    const auto started = std::chrono::steady_clock::now();
    UpdateConfig update = load_launcher_config(base_dir).update.value_or(UpdateConfig {});

    ManifestRunContext context {.base_folder = base_dir, .test_flag = test_flag};
    UpdateTestStatusLogger logger;
    const std::atomic<bool> never_cancelled {false};
    Status outcome = run_update(context, update, logger, never_cancelled);

    std::vector<std::string> lines = logger.lines();
    if (outcome) {
        lines.push_back(update_test_success_line(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()));
    } else {
        lines.push_back("ERRO: " + outcome.error());
    }
    (void)write_test_log(log_path, lines);
    return outcome ? 0 : 1;
}

} // namespace torvane
