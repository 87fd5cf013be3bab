// A progress sink for tests: keeps every message it is given, from any thread.
#pragma once

#include "core/ui_message.hpp"

#include <mutex>
#include <vector>

namespace torvane::test {

class RecordingSink final : public ProgressSink {
public:
    void call(UiMessage message) override
    {
        std::lock_guard lock(mutex_);
        if (auto* progress = std::get_if<ui_message::Progress>(&message))
            reports_.push_back(progress->report);
        else
            others_.push_back(std::move(message));
    }
    std::vector<ProgressReport> reports() const
    {
        std::lock_guard lock(mutex_);
        return reports_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<ProgressReport> reports_;
    std::vector<UiMessage> others_;
};

} // namespace torvane::test
