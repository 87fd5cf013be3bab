#include "app/bench_mode.hpp"

#include "app/modes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torvane {
namespace {

using test::TempDir;

TEST(BenchFigures, SortedPositionsAndTheCpuShare)
{
    std::vector<double> times;
    for (int i = 600; i >= 1; --i)
        times.push_back(i); // given in descending order, 1..600 ms
    const BenchFigures figures = bench_figures(times, 7);
    EXPECT_DOUBLE_EQ(figures.mean, 300.5);
    EXPECT_DOUBLE_EQ(figures.median, 301);
    EXPECT_DOUBLE_EQ(figures.p95, 571);
    EXPECT_DOUBLE_EQ(figures.max, 600);
    EXPECT_DOUBLE_EQ(figures.cpu_percent, 300.5 * 6);
    EXPECT_EQ(figures.complete_frames, 7);
}

TEST(BenchReport, ExactText)
{
    BenchFigures figures{1.234, 1.1, 2.556, 9.5, 7.404, 50};
    std::array<std::uint64_t, stage_slot_count> stages{};
    stages[1] = 40'000;           // 0.04 ms: above 0, printed as 0.0
    stages[4] = 79'260'000;       // faiscas
    stages[8] = 1'500'000'000;    // countdown
    const std::string expected = "escala 1.25 init 116.8 ms\n"
                                 "quadros 600 (10 s a 60 fps): media 1.23 ms, mediana 1.10, p95 2.56, max 9.50, "
                                 "quadros completos 50\n"
                                 "CPU estimada a 60 fps: 7.4% de um nucleo\n"
                                 "  vidro: 0.0 ms total (0.00 ms/quadro)\n"
                                 "  faiscas: 79.3 ms total (0.13 ms/quadro)\n"
                                 "  countdown: 1500.0 ms total (2.50 ms/quadro)\n";
    EXPECT_EQ(bench_report(1.25f, 116.8, figures, stages), expected);
}

TEST(BenchReport, ScaleInItsShortestForm)
{
    struct Case {
        float scale;
        const char* start;
    };
    const Case cases[] = {{1, "escala 1 init "}, {1.5f, "escala 1.5 init "}, {1.25f, "escala 1.25 init "}, {2, "escala 2 init "},
        {0.1f, "escala 0.1 init "}};
    for (const Case& c : cases)
        EXPECT_TRUE(bench_report(c.scale, 1, {}, {}).starts_with(c.start)) << c.scale;
}

TEST(Bench, WritesTheReportOfSixHundredFrames)
{
    TempDir base;
    const std::filesystem::path report = base.path() / "report.txt";
    ASSERT_EQ(run_bench(base.path(), report, 1), 0);
    const std::string text = base.read("report.txt");
    EXPECT_TRUE(text.starts_with("escala 1 init ")) << text;
    EXPECT_NE(text.find("\nquadros 600 (10 s a 60 fps): media "), std::string::npos) << text;
    EXPECT_NE(text.find("% de um nucleo\n"), std::string::npos) << text;
    // The stages drawn every frame are listed; the untimed ones never are.
    for (const char* line : {"\n  faiscas: ", "\n  runa: ", "\n  logo: ", "\n  compor: "})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    for (const char* line : {"  selo:", "  pulso:", "  -:"})
        EXPECT_EQ(text.find(line), std::string::npos) << line << "\n" << text;
    // Steady frames present two rectangles; only the recompositions for new backdrops are whole.
    const std::size_t complete = text.find("quadros completos ");
    ASSERT_NE(complete, std::string::npos);
    const int complete_frames = std::stoi(text.substr(complete + 18));
    EXPECT_GT(complete_frames, 0);
    EXPECT_LT(complete_frames, 600);
}

TEST(Bench, ReturnsZeroWhenTheReportCannotBeWritten)
{
    TempDir base;
    EXPECT_EQ(run_bench(base.path(), base.path(), 1), 0); // a folder is not a writable file
    EXPECT_EQ(run_bench(base.path(), base.path() / "report.txt", NAN), 0);
    EXPECT_FALSE(std::filesystem::exists(base.path() / "report.txt"));
}

} // namespace
} // namespace torvane
