// Speed of text: shaping and drawing one 40-character line. Reports nanoseconds per glyph.
#include "render/glyph_raster.hpp"

#include <benchmark/benchmark.h>

#include <chrono>

namespace torvane {
namespace {

const char line[] = "Servidor online: 1.248 jogadores agora!!"; // 40 characters

const Font& manrope()
{
    static const Font font = *load_font(embedded_font_bytes(EmbeddedFace::ManropeRegular));
    return font;
}

// Runs the body for every iteration and reports the wall time per glyph as a plain counter.
template <class Body>
void time_per_glyph(benchmark::State& state, std::size_t glyphs, Body body)
{
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        body();
    double elapsed = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    state.counters["ns_per_glyph"] = elapsed / (double(state.iterations()) * double(glyphs));
    state.SetItemsProcessed(std::int64_t(state.iterations() * glyphs));
}

void BM_ShapeRun(benchmark::State& state)
{
    const std::size_t glyphs = shape_run(manrope(), 12, 0, line).glyphs.size();
    time_per_glyph(state, glyphs, [] {
        ShapedRun run = shape_run(manrope(), 12, 0, line);
        benchmark::DoNotOptimize(run.width);
    });
}
BENCHMARK(BM_ShapeRun);

void BM_DrawGlyphRun(benchmark::State& state)
{
    const float scale = float(state.range(0)) / 100;
    Pixmap pixmap = Pixmap::create_or_die(std::uint32_t(400 * scale), std::uint32_t(40 * scale));
    Canvas canvas(pixmap, 0, 0, scale);
    ShapedRun run = shape_run(manrope(), 12, 0, line);
    const Paint paint = Paint::solid(Color{1, 1, 1, 1});
    draw_glyph_run(canvas, manrope(), 10, 24, run, paint); // outlines cached before timing
    time_per_glyph(state, run.glyphs.size(), [&] {
        draw_glyph_run(canvas, manrope(), 10, 24, run, paint);
        benchmark::ClobberMemory();
    });
}
BENCHMARK(BM_DrawGlyphRun)->Arg(100)->Arg(200);

} // namespace
} // namespace torvane
