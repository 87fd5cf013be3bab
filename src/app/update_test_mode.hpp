// The headless update test (--testar-atualizacao): one manifest update of the launcher's folder,
// written to Data/Launcher/atualizacao_teste.log. run_update_test is declared in modes.hpp.
#pragma once

#include "app/test_log.hpp"

#include "core/ui_message.hpp"

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace torvane {

// <base_dir>/Data/Launcher/atualizacao_teste.log
std::filesystem::path update_test_log_path(const std::filesystem::path& base_dir);

// The update test's sink: one line per report, "text" or "text detail", keeping the log short. A
// report with the previous report's label is dropped unless the label begins with "Baixando", and
// a line already logged is not logged again.
class UpdateTestStatusLogger final : public ProgressSink {
public:
    void call(UiMessage message) override;
    // The lines logged so far.
    std::vector<std::string> lines() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::string last_text_;
};

// "OK em 12,3 s": the seconds with one decimal and a decimal comma.
std::string update_test_success_line(double seconds);


} // namespace torvane
