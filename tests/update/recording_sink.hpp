// A progress sink for tests: keeps every message it is given, from any thread.
#pragma once

#include "core/ui_message.hpp"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace torvane::test {

class RecordingSink final : public ProgressSink {
public:
    // on_report runs for each progress report, after it has been kept.
    explicit RecordingSink(std::function<void(const ProgressReport&)> on_report = {}) : on_report_(std::move(on_report)) {}

    void call(UiMessage message) override
    {
        auto* progress = std::get_if<ui_message::Progress>(&message);
        {
            std::lock_guard lock(mutex_);
            if (!progress) {
                others_.push_back(std::move(message));
                return;
            }
            reports_.push_back(progress->report);
        }
        if (on_report_)
            on_report_(progress->report);
    }

    std::vector<ProgressReport> reports() const
    {
        std::lock_guard lock(mutex_);
        return reports_;
    }

    // The phase labels in order, each run of equal labels once.
    std::vector<std::string> phases() const
    {
        std::vector<std::string> texts;
        for (const ProgressReport& report : reports()) {
            if (texts.empty() || texts.back() != report.text)
                texts.push_back(report.text);
        }
        return texts;
    }

private:
    std::function<void(const ProgressReport&)> on_report_;
    mutable std::mutex mutex_;
    std::vector<ProgressReport> reports_;
    std::vector<UiMessage> others_;
};

} // namespace torvane::test
