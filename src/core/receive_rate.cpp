#include "core/receive_rate.hpp"

#include <algorithm>

namespace torvane {

ReceiveRateWatch::ReceiveRateWatch(Duration window, std::uint64_t least_bytes_per_second)
    : window_(window),
      // A slow span is seen at most this much waiting time late.
      spacing_(std::max<Duration>(window / 32, std::chrono::milliseconds(1))),
      least_bytes_(static_cast<std::uint64_t>(std::chrono::duration<double>(window).count()
                                              * static_cast<double>(least_bytes_per_second)))
{
}

void ReceiveRateWatch::restart(Duration waited, std::uint64_t received)
{
    samples_.clear();
    samples_.push_back({waited, received});
}

bool ReceiveRateWatch::too_slow(Duration waited, std::uint64_t received)
{
    if (samples_.empty())
        return false;
    if (waited - samples_.back().waited >= spacing_)
        samples_.push_back({waited, received});
    while (samples_.size() >= 2 && samples_[1].waited <= waited - window_)
        samples_.pop_front();
    // The span from the first sample to now is at least a window long once the first sample is
    // that old; the last window of it received no more bytes than the whole span did.
    const Sample& start = samples_.front();
    return waited - start.waited >= window_ && received - start.received < least_bytes_;
}

} // namespace torvane
