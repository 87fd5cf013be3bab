#include "app/client_test_mode.hpp"

#include "app/modes.hpp"
#include "core/util.hpp"
#include "platform/files.hpp"
#include "platform/path_text.hpp"
#include "update/install_folders.hpp"
#include "update/signatures.hpp"

#include <cmath>
#include <cstdio>
#include <limits>

namespace torvane {

namespace {

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// printf-style formatting of numbers into a short text.
template <class... Values>
std::string printed(const char* format, Values... values)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

// floor(progress x 10) as a 32-bit integer, saturating; NaN gives 0.
std::int32_t tenth_of(double progress)
{
    double tenth = std::floor(progress * 10);
    if (std::isnan(tenth))
        return 0;
    if (tenth >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (tenth <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(tenth);
}

} // namespace

std::filesystem::path client_test_log_path(const std::filesystem::path& base_dir)
{
    return base_dir / "Data" / "Launcher" / "cliente_teste.log";
}

void ClientTestProgressLogger::call(UiMessage message)
{
    if (auto* progress = std::get_if<ui_message::Progress>(&message))
        log(progress->report);
}

void ClientTestProgressLogger::log(const ProgressReport& report)
{
    std::string_view phase = report.text;
    if (auto colon = phase.find(':'); colon != std::string_view::npos)
        phase = phase.substr(0, colon);
    std::string key = std::string(phase) + "|" + std::to_string(tenth_of(report.progress));

    std::lock_guard lock(mutex_);
    if (key == last_key_)
        return;
    // A progress that is not a number is written "NaN".
    double percent = report.progress * 100;
    lines_.push_back(printed("%6.1f", seconds_since(start_)) + " s  " + report.text + "  " +
                     (std::isnan(percent) ? std::string("NaN") : printed("%.0f", percent)) + "%  " +
                     format_speed(report.bytes_per_second));
    last_key_ = std::move(key);
}

std::vector<std::string> ClientTestProgressLogger::take_lines()
{
    std::lock_guard lock(mutex_);
    return std::move(lines_);
}

int run_client_test(const std::filesystem::path& base_dir, bool test_flag, const UpdateService& service)
{
    const std::filesystem::path log_path = client_test_log_path(base_dir);
    const auto start = std::chrono::steady_clock::now();
    const std::atomic<bool> never_cancelled = false;

    std::vector<std::string> lines;
    lines.push_back("pasta: " + platform::path_utf8(base_dir));
    lines.push_back("canal criptografado: true");
    if (!test_flag)
        lines.push_back(std::string("launcher trocado: ") + (service.self_update(never_cancelled) ? "true" : "false"));
    std::filesystem::path installed = resolve_active_release(base_dir);
    lines.push_back("geração atual: " + platform::path_utf8(installed));

    ClientTestProgressLogger logger(start);
    auto folder = update_client(service, base_dir, installed, logger, never_cancelled);
    for (std::string& line : logger.take_lines())
        lines.push_back(std::move(line));

    int exit_code = 0;
    if (folder) {
        lines.push_back("OK em " + printed("%.1f", seconds_since(start)) + " s, jogo em " + folder->string());
        auto signature = verify_client_signature(*folder / "Main.exe");
        lines.push_back(signature ? std::string("assinatura do Main: OK")
                                  : "assinatura do Main: ERRO " + signature.error());
    } else {
        lines.push_back("ERRO: " + folder.error());
        exit_code = 1;
    }

    // The log is best effort: the exit code reflects the update either way.
    (void)write_test_log(log_path, lines);
    return exit_code;
}

int run_client_test(const std::filesystem::path& base_dir, bool test_flag)
{
    return run_client_test(base_dir, test_flag, default_update_service());
}

} // namespace torvane
