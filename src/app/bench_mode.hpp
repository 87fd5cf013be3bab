// The benchmark's statistics and report text.
#pragma once

#include "ui/frame.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace torvane {

inline constexpr int bench_frame_count = 600;

struct BenchFigures {
    double mean = 0;
    double median = 0;
    double p95 = 0;
    double max = 0;
    double cpu_percent = 0; // of one core at 60 frames per second
    int complete_frames = 0;
};

// Statistics of the frame times in milliseconds, sorted ascending: the mean, the values at
// positions count / 2, count * 95 / 100 and the last, and the mean's share of a 60 fps second.
BenchFigures bench_figures(std::vector<double> frame_ms, int complete_frames);

// The report: the scale, start-up time and frame statistics, then one line per stage with time.
std::string bench_report(float scale, double init_ms, const BenchFigures& figures,
    const std::array<std::uint64_t, stage_slot_count>& stage_ns);

} // namespace torvane
