// The report throttle that the update's worker pools share: at most one progress report every
// 50 ms per phase, sent by whichever worker wins the slot.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace torvane {

inline constexpr std::uint64_t progress_report_interval_ms = 50;

class ProgressThrottle {
public:
    ProgressThrottle() : start_(std::chrono::steady_clock::now()) {}

    // True for the one caller whose compare-and-swap moved the last report time to now, when now
    // is at least 50 ms past it (the first report comes 50 ms after the phase began).
    bool try_claim()
    {
        std::uint64_t now = elapsed_ms();
        std::uint64_t last = last_report_ms_.load(std::memory_order_relaxed);
        if (now < last + progress_report_interval_ms)
            return false;
        return last_report_ms_.compare_exchange_strong(last, now, std::memory_order_relaxed);
    }

    // Seconds since the phase began.
    double elapsed_seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::uint64_t elapsed_ms() const
    {
        auto since = std::chrono::steady_clock::now() - start_;
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }

    std::chrono::steady_clock::time_point start_;
    std::atomic<std::uint64_t> last_report_ms_ {0};
};

// A share of a whole, with a whole of 0 counted as 1.
inline double progress_fraction(std::uint64_t part, std::uint64_t whole)
{
    return static_cast<double>(part) / static_cast<double>(whole == 0 ? 1 : whole);
}

// The detail line of a worker phase: "{} de {} arquivos".
inline std::string files_progress_detail(std::uint64_t done, std::uint64_t total)
{
    return std::to_string(done) + " de " + std::to_string(total) + " arquivos";
}

} // namespace torvane
