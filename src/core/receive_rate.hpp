// The least receiving rate of a transfer: too slow when, over any span of its waiting time as long
// as the window, it received fewer bytes than the rate times the window. A drip of one byte now and
// then keeps every single read inside a read time-out, yet never finishes; this ends it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

namespace torvane {

// The rate below which a transfer fails, averaged over a span as long as its read time-out.
inline constexpr std::uint64_t least_receive_bytes_per_second = 1024;

class ReceiveRateWatch {
public:
    using Duration = std::chrono::steady_clock::duration;

    ReceiveRateWatch(Duration window, std::uint64_t least_bytes_per_second);

    // Starts watching from this waiting time, with the bytes received so far: no span that begins
    // earlier counts.
    void restart(Duration waited, std::uint64_t received);
    // Stops watching until the next restart.
    void stop() { samples_.clear(); }
    // Notes the bytes received by this waiting time (both only grow between restarts). True when
    // some span as long as the window, ending now, received too few of them; false before a
    // restart and until a whole window has been waited.
    bool too_slow(Duration waited, std::uint64_t received);

private:
    struct Sample {
        Duration waited;
        std::uint64_t received;
    };
    Duration window_;
    Duration spacing_;
    std::uint64_t least_bytes_;
    // Exact counts at some waiting times, oldest first: the first is the latest one taken at
    // least a window ago, once there is one. Samples are kept at least spacing_ apart, so a
    // window holds a few dozen whatever the transfer's speed.
    std::deque<Sample> samples_;
};

} // namespace torvane
