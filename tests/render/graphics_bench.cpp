// Speed of the pixel work: the Gaussian blur of a window-sized pixmap (its cost must not grow
// with sigma) and the scaled draw of the backdrop at full size. Reports nanoseconds per pixel.
#include "render/effects/blur.hpp"
#include "render/images.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <random>

namespace torvane {
namespace {

template <class Body>
void time_per_pixel(benchmark::State& state, std::size_t pixels, Body body)
{
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        body();
    double elapsed = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    state.counters["ns_per_pixel"] = elapsed / (double(state.iterations()) * double(pixels));
    state.SetItemsProcessed(std::int64_t(state.iterations() * pixels));
}

Pixmap window_sized_noise()
{
    std::mt19937 random(1);
    Pixmap pixmap = Pixmap::create_or_die(1100, 660);
    for (auto& word : pixmap.pixels()) {
        std::uint32_t a = random() % 256;
        word = pixel_word(random() % (a + 1), random() % (a + 1), random() % (a + 1), a);
    }
    return pixmap;
}

void gaussian_blur_window(benchmark::State& state)
{
    Pixmap pixmap = window_sized_noise();
    const float sigma = float(state.range(0));
    time_per_pixel(state, pixmap.pixel_count(), [&] {
        gaussian_blur(pixmap, sigma);
        benchmark::DoNotOptimize(pixmap.pixels().data());
    });
}
BENCHMARK(gaussian_blur_window)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);

const Pixmap& backdrop()
{
    static const Pixmap hero = *decode_webp(built_in_hero_image());
    return hero;
}

void draw_backdrop_full_size(benchmark::State& state)
{
    const Pixmap& hero = backdrop();
    Pixmap target = Pixmap::create_or_die(hero.width(), hero.height());
    const ImageBlend blend = state.range(0) ? ImageBlend::SourceOver : ImageBlend::Replace;
    time_per_pixel(state, target.pixel_count(), [&] {
        draw_image_scaled(hero, target, 0, 0, 1, 1, 1, blend, ClipRect{});
        benchmark::DoNotOptimize(target.pixels().data());
    });
}
BENCHMARK(draw_backdrop_full_size)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void draw_backdrop_onto_frame(benchmark::State& state)
{
    // The slideshow's case: the backdrop zoomed slightly, at a fractional offset, half opaque.
    const Pixmap& hero = backdrop();
    Pixmap frame = Pixmap::create_or_die(1100, 660);
    const float zoom = 1100.0f * 1.08f / float(hero.width());
    time_per_pixel(state, frame.pixel_count(), [&] {
        draw_image_scaled(hero, frame, -20.25f, -12.5f, zoom, zoom, 0.5f, ImageBlend::SourceOver, ClipRect{});
        benchmark::DoNotOptimize(frame.pixels().data());
    });
}
BENCHMARK(draw_backdrop_onto_frame)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace torvane
