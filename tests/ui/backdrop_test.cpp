#include "ui/backdrop.hpp"

#include "render/images.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace torvane {
namespace {

TEST(SlideshowTest, ZoomRunsForwardThenBack)
{
    struct Case {
        float time;
        float zoom;
    };
    const Case cases[] = {{0, 1.02f}, {9, 1.05f}, {18, 1.08f}, {27, 1.05f}, {36, 1.02f}, {45, 1.05f}, {54, 1.08f}};
    for (const Case& c : cases)
        EXPECT_NEAR(slideshow_zoom(c.time), c.zoom, 1e-5) << c.time;
    // Eased: slow near the ends.
    EXPECT_LT(slideshow_zoom(1.8f) - 1.02f, 0.06f * 0.1f);
}

Pixmap solid(std::uint32_t width, std::uint32_t height, std::uint32_t word)
{
    Pixmap pixmap = Pixmap::create_or_die(width, height);
    pixmap.fill(word);
    return pixmap;
}

TEST(SlideshowTest, BaseColourHeroThenShade)
{
    Pixmap target = Pixmap::create_or_die(110, 66);
    Pixmap clear_shade = Pixmap::create_or_die(110, 66);
    // A hero too small to reach the corner leaves the opaque base colour there.
    Pixmap hero = solid(2, 2, pixel_word(255, 255, 255, 255));
    draw_background_slideshow(target, hero, 0.1f, 0, 0, clear_shade, 0);
    EXPECT_EQ(target.at(109, 65), pixel_word(6, 10, 9, 255));

    // An opaque shade covers everything.
    Pixmap black_shade = solid(110, 66, pixel_word(0, 0, 0, 255));
    draw_background_slideshow(target, hero, 0.1f, 0, 0, black_shade, 0);
    EXPECT_EQ(target.at(50, 30), pixel_word(0, 0, 0, 255));
}

TEST(SlideshowTest, BandsGiveTheSamePixelsAsWholeLayers)
{
    // A hero with detail, a shade with varying alpha, and targets taller than one band of rows,
    // at a scale that reaches the edges and one that leaves the base colour showing.
    Pixmap hero = Pixmap::create_or_die(90, 70);
    Pixmap shade = Pixmap::create_or_die(120, 100);
    for (std::uint32_t y = 0; y < hero.height(); ++y)
        for (std::uint32_t x = 0; x < hero.width(); ++x)
            hero.at(x, y) = pixel_word((x * 7) & 0xFF, (y * 5) & 0xFF, (x * y) & 0xFF, 255);
    for (std::uint32_t y = 0; y < shade.height(); ++y)
        for (std::uint32_t x = 0; x < shade.width(); ++x) {
            const std::uint32_t a = (x + 2 * y) & 0xFF;
            shade.at(x, y) = pixel_word(a / 3, a / 4, a / 5, a);
        }
    struct Case {
        std::uint32_t width, height;
        float scale, time;
    };
    const Case cases[] = {{120, 100, 0.12f, 4.5f}, {120, 77, 0.05f, 20}, {100, 130, 0.1f, 0}};
    for (const Case& c : cases) {
        Pixmap banded = Pixmap::create_or_die(c.width, c.height);
        draw_background_slideshow(banded, hero, c.scale, -30, -10, shade, c.time);

        Pixmap whole = Pixmap::create_or_die(c.width, c.height);
        whole.fill(pixel_word(6, 10, 9, 255));
        const float zoom = slideshow_zoom(c.time);
        const float x = (-30 * zoom + 550 * (1 - zoom)) * c.scale;
        const float y = (-10 * zoom + 330 * (1 - zoom)) * c.scale;
        draw_image_scaled(hero, whole, x, y, zoom / 1.08f, zoom / 1.08f, 0.55f, ImageBlend::SourceOver,
            ClipRect{0, 0, static_cast<std::int32_t>(c.width), static_cast<std::int32_t>(c.height)});
        blend_pixmap_at(whole, shade, 1, 0, 0);
        EXPECT_TRUE(std::ranges::equal(banded.pixels(), whole.pixels())) << c.width << "x" << c.height;
    }
}

BackgroundWorkerStart small_worker_start(ChannelReceiver<RenderJob> jobs, ChannelSender<Pixmap> frames)
{
    return BackgroundWorkerStart{std::move(jobs), std::move(frames),
        std::make_shared<const Pixmap>(solid(130, 80, pixel_word(200, 100, 50, 255))),
        std::make_shared<const Pixmap>(Pixmap::create_or_die(110, 66)), 110, 66, 0.1f, 0, 0};
}

std::vector<PanelRect> four_panels()
{
    return {{0, 0, 1100, 58, 0, 20}, {678, 70, 404, 200, 16, 12}, {678, 280, 404, 150, 16, 12}, {18, 540, 1064, 104, 16, 12}};
}

TEST(BackgroundWorkerTest, PanelsReusedForLessThanASecond)
{
    auto [job_tx, job_rx] = make_channel<RenderJob>();
    auto [frame_tx, frame_rx] = make_channel<Pixmap>();
    BackgroundWorkerStart start = small_worker_start(std::move(job_rx), std::move(frame_tx));
    BackgroundWorker worker{Pixmap::create_or_die(110, 66)};

    render_background_job(worker, start, {10.0f, four_panels()});
    EXPECT_EQ(worker.frosted_time, 10.0f);
    EXPECT_EQ(worker.layers.size(), 4u);

    struct Case {
        const char* what;
        RenderJob job;
        float frosted_time_after;
    };
    std::vector<PanelRect> moved = four_panels();
    moved[1].y += 12;
    std::vector<PanelRect> with_nan = four_panels();
    with_nan[0].blur = NAN;
    const Case cases[] = {
        {"same panels 0.5 s later", {10.5f, four_panels()}, 10.0f},
        {"1.0 s after the frosting", {11.0f, four_panels()}, 11.0f},
        {"a moved panel", {11.2f, moved}, 11.2f},
        {"moved panel kept", {11.4f, moved}, 11.2f},
        {"a NaN never equals", {11.5f, with_nan}, 11.5f},
        {"still never equals", {11.6f, with_nan}, 11.6f},
        {"fewer panels", {11.7f, {four_panels()[0]}}, 11.7f},
    };
    for (const Case& c : cases) {
        render_background_job(worker, start, c.job);
        EXPECT_EQ(worker.frosted_time, c.frosted_time_after) << c.what;
    }
    EXPECT_EQ(worker.layers.size(), 1u);
}

TEST(BackgroundWorkerTest, FrostingAgainDrawsIntoTheLayersItMadeBefore)
{
    // The glass made again a second later lands in the memory of the layers it replaces, and
    // looks as glass made from nothing; a panel of another size gets a new layer.
    auto [job_tx, job_rx] = make_channel<RenderJob>();
    auto [frame_tx, frame_rx] = make_channel<Pixmap>();
    BackgroundWorkerStart start = small_worker_start(std::move(job_rx), std::move(frame_tx));
    BackgroundWorker worker{Pixmap::create_or_die(110, 66)};
    render_background_job(worker, start, {10.0f, four_panels()});
    ASSERT_EQ(worker.layers.size(), 4u);
    std::vector<const std::uint32_t*> memory;
    for (PanelLayer& layer : worker.layers)
        memory.push_back(layer.pixmap.pixels().data());

    std::vector<PanelRect> grown = four_panels();
    grown[2].h += 8;
    const Pixmap result = render_background_job(worker, start, {11.0f, grown});
    ASSERT_EQ(worker.layers.size(), 4u);
    EXPECT_EQ(worker.layers[0].pixmap.pixels().data(), memory[0]);
    EXPECT_EQ(worker.layers[1].pixmap.pixels().data(), memory[1]);
    EXPECT_EQ(worker.layers[3].pixmap.pixels().data(), memory[3]);
    EXPECT_GT(worker.layers[2].pixmap.height(), 0u);

    BackgroundWorker fresh{Pixmap::create_or_die(110, 66)};
    const Pixmap expected = render_background_job(fresh, start, {11.0f, grown});
    EXPECT_TRUE(std::ranges::equal(result.pixels(), expected.pixels()));
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(std::ranges::equal(worker.layers[i].pixmap.pixels(), fresh.layers[i].pixmap.pixels())) << i;
}

TEST(BackgroundWorkerTest, JobWithoutPanelsGivesBareBackdrop)
{
    auto [job_tx, job_rx] = make_channel<RenderJob>();
    auto [frame_tx, frame_rx] = make_channel<Pixmap>();
    BackgroundWorkerStart start = small_worker_start(std::move(job_rx), std::move(frame_tx));
    BackgroundWorker worker{Pixmap::create_or_die(110, 66)};
    Pixmap result = render_background_job(worker, start, {3.0f, {}});
    Pixmap expected = Pixmap::create_or_die(110, 66);
    draw_background_slideshow(expected, *start.hero, start.scale, 0, 0, *start.shade, 3.0f);
    EXPECT_TRUE(std::equal(result.pixels().begin(), result.pixels().end(), expected.pixels().begin()));
    EXPECT_TRUE(worker.layers.empty());
}

TEST(BackgroundWorkerTest, ThreadAnswersJobsAndEndsWhenSenderDropped)
{
    auto [job_tx, job_rx] = make_channel<RenderJob>();
    auto [frame_tx, frame_rx] = make_channel<Pixmap>();
    std::thread thread(background_render_worker, small_worker_start(std::move(job_rx), std::move(frame_tx)));

    ASSERT_TRUE(job_tx.send({0.5f, four_panels()}));
    std::optional<Pixmap> frame = frame_rx.receive();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width(), 110u);
    EXPECT_EQ(frame->height(), 66u);

    { auto dropped = std::move(job_tx); }
    // The worker ends, dropping its frame sender: the receive returns instead of waiting.
    EXPECT_FALSE(frame_rx.receive());
    thread.join();
}

TEST(BackgroundWorkerTest, DrawsIntoTheSpareBackdropItIsHandedBack)
{
    auto [job_tx, job_rx] = make_channel<RenderJob>();
    auto [frame_tx, frame_rx] = make_channel<Pixmap>();
    std::thread thread(background_render_worker, small_worker_start(std::move(job_rx), std::move(frame_tx)));

    ASSERT_TRUE(job_tx.send({0.5f, four_panels()}));
    std::optional<Pixmap> first = frame_rx.receive();
    ASSERT_TRUE(first);
    const std::uint32_t* first_memory = first->pixels().data();
    // Whatever the UI left in it is drawn over.
    first->fill(pixel_word(1, 2, 3, 4));
    ASSERT_TRUE(job_tx.send({0.7f, four_panels(), std::move(*first)}));
    std::optional<Pixmap> second = frame_rx.receive();
    ASSERT_TRUE(job_tx.send({0.9f, four_panels()}));
    std::optional<Pixmap> third = frame_rx.receive();
    ASSERT_TRUE(second && third);
    // The job that brought the spare is drawn into it; one without gets memory of its own.
    EXPECT_EQ(second->pixels().data(), first_memory);
    EXPECT_NE(third->pixels().data(), first_memory);

    // The same pictures as a worker that never got anything back.
    auto [unused_tx, unused_rx] = make_channel<RenderJob>();
    auto [reference_tx, reference_rx] = make_channel<Pixmap>();
    BackgroundWorkerStart start = small_worker_start(std::move(unused_rx), std::move(reference_tx));
    BackgroundWorker reference{Pixmap::create_or_die(110, 66)};
    render_background_job(reference, start, {0.5f, four_panels()});
    Pixmap expected_second = render_background_job(reference, start, {0.7f, four_panels()});
    Pixmap expected_third = render_background_job(reference, start, {0.9f, four_panels()});
    EXPECT_TRUE(std::ranges::equal(second->pixels(), expected_second.pixels()));
    EXPECT_TRUE(std::ranges::equal(third->pixels(), expected_third.pixels()));

    { auto dropped = std::move(job_tx); }
    thread.join();
}

TEST(BackgroundWorkerTest, ThreadEndsWhenResultsAreNoLongerWanted)
{
    auto [job_tx, job_rx] = make_channel<RenderJob>();
    auto [frame_tx, frame_rx] = make_channel<Pixmap>();
    std::thread thread(background_render_worker, small_worker_start(std::move(job_rx), std::move(frame_tx)));
    { auto dropped = std::move(frame_rx); }
    job_tx.send({0.5f, {}});
    thread.join(); // returns once its send has failed
    EXPECT_FALSE(job_tx.send({1.0f, {}}));
}

TEST(BackgroundWorkerTest, ImpossibleSizeEndsAtOnce)
{
    auto [job_tx, job_rx] = make_channel<RenderJob>();
    auto [frame_tx, frame_rx] = make_channel<Pixmap>();
    BackgroundWorkerStart start = small_worker_start(std::move(job_rx), std::move(frame_tx));
    start.width = 0;
    job_tx.send({0, {}});
    background_render_worker(std::move(start));
    EXPECT_FALSE(frame_rx.try_receive());
}

TEST(ChannelTest, ReceiverSeesValuesInOrderThenEnd)
{
    auto [tx, rx] = make_channel<int>();
    ChannelSender<int> second = tx;
    tx.send(1);
    second.send(2);
    EXPECT_EQ(rx.try_receive(), 1);
    EXPECT_EQ(rx.receive(), 2);
    EXPECT_FALSE(rx.try_receive());
    { auto dropped = std::move(tx); }
    second.send(3);
    EXPECT_EQ(rx.receive(), 3);
    { auto dropped = std::move(second); }
    EXPECT_FALSE(rx.receive());
}

} // namespace
} // namespace torvane
