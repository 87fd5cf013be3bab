#include "ui/frame.hpp"

#include "support/temp_dir.hpp"
#include "ui/countdown.hpp"
#include "ui/layout.hpp"
#include "render/images.hpp"
#include "ui/main_screen.hpp"
#include "ui/widgets.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace torvane {
namespace {

using test::TempDir;

// A main screen past its intro whose background worker is played by the test: the jobs the
// frames send arrive in `jobs`, and backdrops sent on `frames` are what the frames receive.
struct ScreenWithTestWorker {
    TempDir base;
    UiState state;
    std::optional<ChannelReceiver<RenderJob>> jobs;
    std::optional<ChannelSender<Pixmap>> frames;

    explicit ScreenWithTestWorker(float scale = 1) : state(build_ui_state(scale, base.path()))
    {
        advance_clock(state, 3);
        auto [job_tx, job_rx] = make_channel<RenderJob>();
        auto [frame_tx, frame_rx] = make_channel<Pixmap>();
        state.render_job_tx = std::move(job_tx);
        state.render_frame_rx = std::move(frame_rx);
        state.job_in_flight = false;
        state.last_panels.clear();
        jobs.emplace(std::move(job_rx));
        frames.emplace(std::move(frame_tx));
        render_frame(state); // sends the first job to the test
    }
    ~ScreenWithTestWorker() { drop_ui_state(state); }

    Pixmap backdrop() const
    {
        Pixmap pixmap = Pixmap::create_or_die(state.frame_canvas.width(), state.frame_canvas.height());
        pixmap.fill(pixel_word(10, 20, 30, 255));
        return pixmap;
    }
};

DirtyRect full_canvas(const UiState& state)
{
    return {0, 0, static_cast<std::int32_t>(state.frame_canvas.width()), static_cast<std::int32_t>(state.frame_canvas.height())};
}

bool rect_equal(const Pixmap& a, const Pixmap& b, const DirtyRect& rect)
{
    for (std::int32_t y = rect.y; y < rect.y + rect.h; ++y)
        for (std::int32_t x = rect.x; x < rect.x + rect.w; ++x)
            if (a.at(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))
                != b.at(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)))
                return false;
    return true;
}

TEST(RenderFrame, FirstFrameAfterScaleIsWholeAndClearsRedrawAll)
{
    struct Case {
        float scale;
        std::int32_t width, height;
    };
    const Case cases[] = {{1, 1100, 660}, {1.5f, 1650, 990}};
    for (const Case& c : cases) {
        TempDir base;
        UiState state = build_ui_state(c.scale, base.path());
        ASSERT_TRUE(state.redraw_all);
        const std::vector<DirtyRect> rects = render_frame(state);
        ASSERT_EQ(rects.size(), 1u);
        EXPECT_EQ(rects[0], (DirtyRect{0, 0, c.width, c.height}));
        EXPECT_FALSE(state.redraw_all);
        drop_ui_state(state);
    }
}

TEST(RenderFrame, SteadyFrameReturnsTheStageAreaAndThePulseBox)
{
    ScreenWithTestWorker screen;
    UiState& state = screen.state;
    const std::vector<DirtyRect> rects = render_frame(state);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0], (DirtyRect{0, 58, 660, 478}));
    const auto pulse_x = static_cast<std::int32_t>(std::floor(state.layout.pulse_x));
    EXPECT_EQ(rects[1], (DirtyRect{pulse_x, 12, static_cast<std::int32_t>(std::ceil(state.layout.pulse_x + 30)) - pulse_x, 33}));
}

TEST(RenderFrame, ChangedRightColumnComesBeforeTheStageRectangles)
{
    ScreenWithTestWorker screen(1.5f);
    UiState& state = screen.state;
    render_frame(state);
    state.right_column_dirty = true;
    const std::vector<DirtyRect> rects = render_frame(state);
    ASSERT_EQ(rects.size(), 3u);
    const float bottom = (right_column_y + state.layout.right_column_height) * 1.5f;
    const DirtyRect expected{1016, 104, std::min(1623 + 1, 1650) - 1016,
        static_cast<std::int32_t>(std::ceil(bottom)) + 1 - 104};
    EXPECT_EQ(rects[0], expected);
    EXPECT_EQ(rects[1], stage_area_rect(state));
    EXPECT_EQ(rects[2], pulse_box_rect(state));
    // The presented rectangle shows the scene as composed: the backdrop with the column over it.
    Pixmap composed = Pixmap::create_or_die(state.frame_canvas.width(), state.frame_canvas.height());
    std::copy_n(state.background_composite.pixels().data(), composed.pixel_count(), composed.pixels().data());
    blend_pixmap_at(composed, *state.right_column_layer, 1, round_to_pixel(right_column_x * 1.5f),
        round_to_pixel(right_column_y * 1.5f));
    EXPECT_TRUE(rect_equal(state.frame_canvas, composed, rects[0]));
    EXPECT_FALSE(state.right_column_dirty);
}

// A panel drawn again between full compositions leaves the frames after it as a full composition
// of the same moment would show them: under the stage and the pulse box too, which each frame
// wipes back to the scene before it draws the stage of its moment.
TEST(RenderFrame, FramesAfterAChangedPanelMatchAWholeComposition)
{
    struct Case {
        const char* name;
        float scale;
        bool pulse_moves;
        void (*change)(ScreenWithTestWorker&);
    };
    const Case cases[] = {
        {"server found offline (the dot under the pulse changes colour)", 1, false,
            [](ScreenWithTestWorker& screen) {
                screen.state.server_online = false;
                screen.state.server_known = true;
                screen.state.top_bar_dirty = true;
            }},
        {"server found offline at 1.25 (the top bar's last row lies in the stage area)", 1.25f, false,
            [](ScreenWithTestWorker& screen) {
                screen.state.server_online = false;
                screen.state.server_known = true;
                screen.state.top_bar_dirty = true;
            }},
        {"new server status (the badge and the pulse move)", 1, true,
            [](ScreenWithTestWorker& screen) {
                UiState& state = screen.state;
                state.server_online = true;
                state.server_known = true;
                state.status_text = "ONLINE";
                rebuild_ui_model(state);
                state.top_bar_dirty = true;
            }},
        {"new server status at 1.5", 1.5f, true,
            [](ScreenWithTestWorker& screen) {
                UiState& state = screen.state;
                state.status_text = "OFFLINE - TENTANDO DE NOVO";
                rebuild_ui_model(state);
                state.top_bar_dirty = true;
            }},
        {"hovered play button", 1.5f, false,
            [](ScreenWithTestWorker& screen) {
                UiState& state = screen.state;
                state.hover_id = hit_id::play;
                state.hover_fades[hover_key(hit_id::play, 0)] = 0.6f;
                state.texts_dirty = true;
            }},
        {"hovered news list", 1, false,
            [](ScreenWithTestWorker& screen) {
                UiState& state = screen.state;
                state.hover_id = hit_id::all_news;
                state.hover_fades[hover_key(hit_id::all_news, 0)] = 0.6f;
                state.right_column_dirty = true;
            }},
        {"a new backdrop from the worker at 1.25", 1.25f, false,
            [](ScreenWithTestWorker& screen) { ASSERT_TRUE(screen.frames->send(screen.backdrop())); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScreenWithTestWorker screen(c.scale);
        UiState& state = screen.state;
        freeze_clocks(state);
        render_frame(state);
        const float pulse_before = state.layout.pulse_x;
        c.change(screen);
        // The frames a sixtieth of a second apart: the sparks move, so a stage not wiped away
        // leaves its traces. The last one stays at its moment, as the whole composition does: a
        // spark born anew takes its drawn place in the frame after its birth.
        for (int frame = 0; frame < 3; ++frame) {
            state.fixed_moment->instant += std::chrono::microseconds(16'667);
            render_frame(state);
        }
        render_frame(state);
        const Pixmap steady = state.frame_canvas.clone();
        state.redraw_all = true;
        render_frame(state);
        EXPECT_TRUE(rect_equal(steady, state.frame_canvas, full_canvas(state)));
        EXPECT_EQ(state.layout.pulse_x != pulse_before, c.pulse_moves);
    }
}

TEST(RenderFrame, PanelRectanglesAreClippedToTheCanvas)
{
    ScreenWithTestWorker screen;
    UiState& state = screen.state;
    EXPECT_EQ(panel_dirty_rect(state, 0, 0, 1100, 58), (DirtyRect{0, 0, 1100, 59}));
    EXPECT_EQ(panel_dirty_rect(state, 18, 540, 1064, 104), (DirtyRect{17, 539, 1066, 106}));
    EXPECT_EQ(panel_dirty_rect(state, 1000, 600, 200, 200), (DirtyRect{999, 599, 101, 61}));
}

TEST(RenderFrame, OneJobInFlightAndMovedPanelsGoOutWithTheNextJob)
{
    ScreenWithTestWorker screen;
    UiState& state = screen.state;
    std::optional<RenderJob> first = screen.jobs->try_receive();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->panels, worker_panel_list(state));
    EXPECT_TRUE(state.job_in_flight);

    // New news move the information panel; no job while the first one is out.
    std::vector<LauncherNews> news(3, LauncherNews{"Tag", "#8b5cf6", "Texto", std::nullopt, "hoje"});
    set_links_and_news(state, state.configured_links, news, state.configured_info, std::nullopt);
    const std::vector<PanelRect> moved = worker_panel_list(state);
    ASSERT_NE(moved, first->panels);
    render_frame(state);
    EXPECT_FALSE(screen.jobs->try_receive());

    // The result arrives: it is composed whole and the moved panels go out at once.
    ASSERT_TRUE(screen.frames->send(screen.backdrop()));
    const std::vector<DirtyRect> rects = render_frame(state);
    EXPECT_EQ(rects, std::vector<DirtyRect>{full_canvas(state)});
    std::optional<RenderJob> second = screen.jobs->try_receive();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->panels, moved);
    EXPECT_NEAR(second->time, state.clock + 0.03f, 1e-4f);
    // The worker's backdrop is the one composed: a pixel of the stage away from every drawing.
    EXPECT_EQ(state.background_composite.at(640, 520), pixel_word(10, 20, 30, 255));
}

TEST(RenderFrame, TheFirstWorkerBackdropGivesBackTheIntroCanvasAndGlass)
{
    // The test plays the worker from the first frame on, so no backdrop arrives unasked.
    TempDir base;
    UiState state = build_ui_state(1, base.path());
    auto [job_tx, job_rx] = make_channel<RenderJob>();
    auto [frame_tx, frame_rx] = make_channel<Pixmap>();
    state.render_job_tx = std::move(job_tx);
    state.render_frame_rx = std::move(frame_rx);
    advance_clock(state, 3);
    // Until the worker answers, the frames made their own backdrop and glass.
    EXPECT_EQ(state.backdrop_canvas.width(), state.frame_canvas.width());
    EXPECT_FALSE(state.glass_patches.empty());

    Pixmap backdrop = Pixmap::create_or_die(state.frame_canvas.width(), state.frame_canvas.height());
    backdrop.fill(pixel_word(10, 20, 30, 255));
    ASSERT_TRUE(frame_tx.send(std::move(backdrop)));
    render_frame(state);
    EXPECT_EQ(state.backdrop_canvas.pixel_count(), 1u);
    EXPECT_TRUE(state.glass_patches.empty());

    // A later whole composition keeps the worker's backdrop instead of drawing one here.
    state.main_dirty = true;
    EXPECT_EQ(render_frame(state), std::vector<DirtyRect>{full_canvas(state)});
    EXPECT_EQ(state.backdrop_canvas.pixel_count(), 1u);
    EXPECT_EQ(state.background_composite.at(640, 520), pixel_word(10, 20, 30, 255));

    // A new scale starts over with a canvas of its size.
    apply_scale(state, 1.25f);
    EXPECT_EQ(state.backdrop_canvas.width(), state.frame_canvas.width());
    drop_ui_state(state);
}

TEST(RenderFrame, UnchangedPanelsWaitForTheInterval)
{
    ScreenWithTestWorker screen;
    UiState& state = screen.state;
    // The clock stands at the first job's time, however long this machine takes between frames.
    freeze_clocks(state);
    ASSERT_TRUE(screen.jobs->try_receive());
    ASSERT_TRUE(screen.frames->send(screen.backdrop()));
    render_frame(state); // takes the result; under 0.2 s since the last job, so no new one
    EXPECT_FALSE(screen.jobs->try_receive());
    EXPECT_FALSE(state.job_in_flight);
    rewind_start_instant(state, std::chrono::milliseconds(250));
    render_frame(state);
    EXPECT_TRUE(screen.jobs->try_receive());
}

TEST(RenderFrame, AdvancingBeforeTheFirstFrameSkipsTheIntro)
{
    TempDir base;
    UiState state = build_ui_state(1, base.path());
    ASSERT_GT(state.intro_start, 1e8f);
    advance_clock(state, 3);
    EXPECT_LT(state.intro_start, 1.0f);
    EXPECT_GE(state.clock - state.intro_start, 3.0f);
    EXPECT_TRUE(state.render_job_tx.has_value()); // the worker draws the backdrop now
    EXPECT_TRUE(std::all_of(state.stage.digit_changed_at.begin(), state.stage.digit_changed_at.end(),
        [](float t) { return t == -10; }));
    // Without a worker backdrop yet, the composition made its own: the backdrop is not empty.
    EXPECT_GE(pixel_alpha(state.frame_canvas.at(300, 520)), 250u);
    drop_ui_state(state);
}

TEST(RenderFrame, FrozenClocksAreWhatEveryFrameShows)
{
    TempDir base;
    UiState state = build_ui_state(1, base.path());
    ASSERT_TRUE(state.opening_ms);
    freeze_clocks(state);
    ASSERT_TRUE(state.fixed_moment);
    // Three days and a few seconds before the opening, a millisecond before a digit flips: frames
    // that read the clock themselves would show another time and a digit in the middle of its drop.
    state.fixed_moment->wall_ms = *state.opening_ms - (3 * 86'400'000LL + 5'001);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    advance_clock(state, 3);
    const float clock = state.clock;
    EXPECT_FLOAT_EQ(clock, 3.0f); // the state was just built: its animation starts from 0
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    render_frame(state);
    EXPECT_EQ(state.clock, clock); // the animation clock did not run on
    EXPECT_EQ(state.stage.countdown_texts, countdown_texts(3 * 86'400 + 5));
    EXPECT_TRUE(std::all_of(state.stage.digit_changed_at.begin(), state.stage.digit_changed_at.end(),
        [](float t) { return t == -10; }));
    advance_clock(state, 1);
    EXPECT_FLOAT_EQ(state.clock, clock + 1);
    drop_ui_state(state);
}

TEST(RenderFrame, FrameStepIsClampedForHoverFades)
{
    struct Case {
        float clock_offset; // last_clock = clock + offset before the frame
        float expected;
    };
    const Case cases[] = {{-1.0f, 0.05f / 0.25f}, {10.0f, 0.0f}};
    for (const Case& c : cases) {
        ScreenWithTestWorker screen;
        UiState& state = screen.state;
        state.hover_id = hit_id::play;
        state.hover_fades.clear();
        state.last_clock = state.clock + c.clock_offset;
        // The frame reads the clock anew; a past last_clock gives a long step, a future one a negative.
        render_frame(state);
        EXPECT_NEAR(hover_amount(state, hit_id::play), c.expected, 1e-6f) << c.clock_offset;
    }
}

TEST(HoverFades, PlayTakesAQuarterSecondOthersAFifth)
{
    struct Case {
        std::int32_t id;
        float dt;
        float expected;
    };
    const Case cases[] = {
        {hit_id::play, 0.125f, 0.5f}, {hit_id::play, 0.25f, 1},       {hit_id::settings, 0.1f, 0.5f},
        {hit_id::close, 0.2f, 1},     {hit_id::news, 0.05f, 0.25f},   {hit_id::play, 1, 1},
    };
    for (const Case& c : cases) {
        UiState state;
        state.hover_id = c.id;
        update_hover_fades(state, c.dt);
        EXPECT_NEAR(hover_amount(state, c.id), c.expected, 1e-6f) << c.id << " " << c.dt;
    }
}

TEST(HoverFades, SettledHoverStaysLitAndMarksNothing)
{
    UiState state;
    state.hover_id = hit_id::play;
    update_hover_fades(state, 0.05f);
    for (int frame = 0; frame < 10; ++frame)
        update_hover_fades(state, 0.05f);
    ASSERT_FLOAT_EQ(hover_amount(state, hit_id::play), 1);
    for (int frame = 0; frame < 3; ++frame) {
        state.texts_dirty = false;
        update_hover_fades(state, 0.016f);
        EXPECT_FLOAT_EQ(hover_amount(state, hit_id::play), 1) << frame;
        EXPECT_FALSE(state.texts_dirty) << frame;
    }
}

TEST(HoverFades, MarksThePanelOfTheElementAndDropsFadedEntries)
{
    struct Case {
        std::int32_t id;
        bool top, right, bottom;
    };
    const Case cases[] = {
        {hit_id::link, true, false, false},         {hit_id::minimise, true, false, false},
        {hit_id::close, true, false, false},        {hit_id::all_news, false, true, false},
        {hit_id::news, false, true, false},         {hit_id::window_mode, false, false, true},
        {hit_id::settings, false, false, true},     {hit_id::play, false, false, true},
        {hit_id::dialog_close, false, false, false}, {hit_id::none, false, false, false},
    };
    for (const Case& c : cases) {
        UiState state;
        state.top_bar_dirty = state.right_column_dirty = state.texts_dirty = false;
        state.hover_id = c.id;
        update_hover_fades(state, 0.016f);
        EXPECT_EQ(state.top_bar_dirty, c.top) << c.id;
        EXPECT_EQ(state.right_column_dirty, c.right) << c.id;
        EXPECT_EQ(state.texts_dirty, c.bottom) << c.id;
    }

    UiState state;
    state.hover_id = hit_id::link;
    state.hover_data = 2;
    update_hover_fades(state, 0.1f);
    state.hover_id = hit_id::none;
    state.hover_data = 0;
    update_hover_fades(state, 0.05f);
    EXPECT_NEAR(hover_amount(state, hit_id::link, 2), 0.25f, 1e-6f);
    update_hover_fades(state, 0.05f);
    EXPECT_FALSE(state.hover_fades.contains(hover_key(hit_id::link, 2)));
}

TEST(StageTimes, UntimedSlotsStayZero)
{
    ScreenWithTestWorker screen;
    reset_stage_times();
    for (int i = 0; i < 5; ++i) {
        rewind_start_instant(screen.state, std::chrono::milliseconds(17));
        render_frame(screen.state);
    }
    for (std::size_t slot : {5u, 9u, 10u, 11u})
        EXPECT_EQ(stage_times()[slot].load(), 0u) << stage_names[slot];
    for (RenderStage stage : {RenderStage::Sparks, RenderStage::Runes, RenderStage::Logo})
        EXPECT_GT(stage_times()[static_cast<std::size_t>(stage)].load(), 0u) << stage_names[static_cast<std::size_t>(stage)];
}

TEST(StageTimes, NamesInSlotOrder)
{
    const std::array<std::string_view, 12> expected{
        "fundo", "vidro", "compor", "copia", "faiscas", "selo", "runa", "logo", "countdown", "pulso", "-", "-"};
    EXPECT_EQ(stage_names, expected);
}

TEST(RenderFrame, SettlingTheWorkerWaitsForItsJobAndKeepsTheBackdropForTheNextFrame)
{
    ScreenWithTestWorker screen;
    UiState& state = screen.state;
    ASSERT_TRUE(screen.jobs->try_receive());
    ASSERT_TRUE(state.job_in_flight);
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        screen.frames->send(screen.backdrop());
    });
    settle_background_worker(state); // returns once the job's backdrop came
    worker.join();
    EXPECT_FALSE(state.job_in_flight);
    settle_background_worker(state); // nothing in flight: returns at once
    EXPECT_EQ(render_frame(state), std::vector<DirtyRect>{full_canvas(state)});
    EXPECT_EQ(state.background_composite.at(640, 520), pixel_word(10, 20, 30, 255));
}

TEST(RenderFrame, StoppedWorkerIsStartedAgainByTheNextFrame)
{
    TempDir base;
    UiState state = build_ui_state(1, base.path());
    advance_clock(state, 3);
    ASSERT_TRUE(state.render_job_tx && state.render_frame_rx);
    stop_background_worker(state); // returns once the worker has let go of its channel
    EXPECT_FALSE(state.render_job_tx || state.render_frame_rx);
    EXPECT_FALSE(state.job_in_flight);
    render_frame(state);
    EXPECT_TRUE(state.render_job_tx && state.job_in_flight);
    stop_background_worker(state);
    drop_ui_state(state);
}

} // namespace
} // namespace torvane
