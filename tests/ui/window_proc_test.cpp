// The window procedure, its actions and the update start, driven with events and a recording
// window: no display, but the real UI state, configuration cache, settings store and files.
#include "ui/window_proc.hpp"

#include "core/config_json.hpp"
#include "core/launcher_config_cache.hpp"
#include "game/game_settings.hpp"
#include "platform/files.hpp"
#include "platform/registry.hpp"
#include "recording_window.hpp"
#include "release_keys.hpp"
#include "support/temp_dir.hpp"
#include "support/xvfb_display.hpp"
#include "ui/game_start.hpp"
#include "ui/layout.hpp"
#include "ui/main_actions.hpp"
#include "ui/update_start.hpp"
#include "ui/window_loop.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>

namespace torvane {
namespace {

using namespace std::chrono_literals;
using test::RecordingWindow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace ev = platform::window_event;

// What the window started instead of threads and programs.
struct Started {
    int sealed_updates = 0;
    int manifest_updates = 0;
    std::vector<platform::ProgramLaunch> processes;
    std::vector<std::string> urls;
    std::vector<int> inherited_locked; // per process: 1 when the inherited descriptor held the share lock
    Status process_result;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1000s;
};

class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::set_registry_root(dir.path() / "registry");
        context.state.emplace(build_app_state(1.0f, dir.path(), true));
        AppServices& services = app().services;
        services.start_sealed_update = [this](UiSender, auto, auto, auto, bool) { ++started.sealed_updates; };
        services.start_manifest_update = [this](ManifestUpdateInputs) { ++started.manifest_updates; };
        services.start_config_fetch = [](UiSender) {};
        services.start_status_probe = [](UiSender, auto, auto, bool) {};
        services.start_process = [this](const platform::ProgramLaunch& launch) {
            started.processes.push_back(launch);
            if (launch.inherited_descriptor) {
                // A share lock on the inherited file keeps an exclusive one out.
                int probe = ::open(launch.program.c_str(), O_RDONLY | O_CLOEXEC);
                started.inherited_locked.push_back(::flock(probe, LOCK_EX | LOCK_NB) != 0);
                ::close(probe);
            }
            return started.process_result;
        };
        services.open_url = [this](std::string_view url) {
            started.urls.emplace_back(url);
            return Status{};
        };
        services.now = [this] { return started.now; };
        services.running_executable = [] { return std::filesystem::path("/nowhere/torvane"); };
        context.can_present = true;
    }
    void TearDown() override
    {
        if (context.state)
            drop_ui_state(context.state->ui);
        platform::set_registry_root({});
    }

    AppState& app() { return *context.state; }
    UiState& ui() { return app().ui; }
    void event(const platform::WindowEvent& e) { window_proc(context, window, e); }
    void send(UiMessage message)
    {
        (void)app().events_rx->send(std::move(message));
        event(ev::WorkersWoke{});
    }
    HitRegion region(std::int32_t id, std::int32_t data = 0)
    {
        for (const HitRegion& r : ui().main_hits)
            if (r.id == id && (!hover_data_matters(id) || r.data == data))
                return r;
        ADD_FAILURE() << "no region " << id << "/" << data;
        return {};
    }
    void click(const HitRegion& press, const HitRegion& release)
    {
        auto centre = [](const HitRegion& r) {
            return std::pair{static_cast<std::int32_t>((r.x0 + r.x1) / 2), static_cast<std::int32_t>((r.y0 + r.y1) / 2)};
        };
        auto [px, py] = centre(press);
        auto [rx, ry] = centre(release);
        event(ev::PointerMoved{px, py});
        event(ev::ButtonPressed{px, py});
        event(ev::PointerMoved{rx, ry});
        event(ev::ButtonReleased{rx, ry});
    }
    void click(const HitRegion& r) { click(r, r); }
    void set_links(std::vector<LauncherLink> links)
    {
        set_links_and_news(ui(), std::move(links), {LauncherNews{.text = "Notícia", .url = "https://a/n"}, LauncherNews{.text = "Sem link"}}, {}, std::nullopt);
    }
    // A signed client in the game folder.
    void write_signed_client(std::string_view body = "#!/bin/sh\nexit 0\n")
    {
        auto exe = dir.write("Main.exe", body);
        std::filesystem::permissions(exe, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
        dir.write("Main.exe.sig", test::dev_signer().sign(body).value());
    }

    test::TempDir dir;
    WindowContext context;
    RecordingWindow window{1100, 660};
    Started started;
};

TEST(WindowRules, TitleBandDragsExceptOverTheLinkRowBadgeAndButtons)
{
    test::TempDir dir;
    UiState ui = build_ui_state(1.0f, dir.path());
    ui.layout.links_left = 300;
    ui.layout.links_right = 700;
    ui.layout.badge_x = 860;
    struct Case {
        float x, y;
        std::int32_t screen;
        bool caption;
    } cases[] = {
        {100, 30, screen_main, true},   // the title
        {299, 30, screen_main, true},   // gap before the links
        {300, 30, screen_main, false},  // first link
        {699, 30, screen_main, false},
        {700, 30, screen_main, true},   // gap between links and badge
        {860, 30, screen_main, false},  // badge
        {1089, 30, screen_main, false}, // close button
        {1090, 30, screen_main, true},  // strip right of the buttons
        {500, 12, screen_main, true},   // above the button row
        {500, 12.5f, screen_main, false},
        {500, 44.5f, screen_main, true}, // below the button row
        {500, 57.9f, screen_main, true},
        {500, 58, screen_main, false},  // below the band
        {-1, 30, screen_main, false},
        {1100, 30, screen_main, false},
        {100, 30, screen_settings, false},
        {100, 30, screen_settings_list, false},
    };
    for (const Case& c : cases) {
        ui.screen_mode = c.screen;
        EXPECT_EQ(is_caption(ui, c.x, c.y), c.caption) << c.x << "," << c.y << " screen " << c.screen;
    }
    drop_ui_state(ui);
}

TEST(WindowRules, FrameDeadlineNeverBursts)
{
    using clock = std::chrono::steady_clock;
    clock::time_point t0{};
    struct Case {
        clock::duration deadline, now, next;
    } cases[] = {
        {0ns, 0ns, 16'667'000ns},                  // on time
        {0ns, 5ms, 16'667'000ns},                  // a little late: stays on the grid
        {0ns, 40ms, 40ms + 16'667'000ns},          // a late frame: the next one a period after it
        {100ms, 100ms + 33'334'000ns, 100ms + 50'001'000ns}, // two periods late: one frame, the next a period later
    };
    for (const Case& c : cases)
        EXPECT_EQ(next_frame_deadline(t0 + c.deadline, t0 + c.now), t0 + c.next) << c.now.count();
}

TEST(WindowRules, FrameRectanglesAreClampedToWhatFrameAndSurfaceShare)
{
    Pixmap frame = Pixmap::create_or_die(8, 6);
    for (std::uint32_t y = 0; y < 6; ++y)
        for (std::uint32_t x = 0; x < 8; ++x)
            frame.at(x, y) = 0x40102030u + (y << 8) + x;
    std::vector<std::uint32_t> pixels(10 * 4, 0xDEADBEEF); // wider and shorter than the frame
    platform::PixelSurface surface{pixels.data(), 10, 4, 40};
    DirtyRect rects[] = {{-2, -1, 4, 3}, {6, 2, 10, 10}, {0, 0, 0, 5}, {20, 20, 5, 5}};
    auto copied = copy_frame_rects(frame, surface, rects);
    EXPECT_EQ(copied, (std::vector<platform::PixelRect>{{0, 0, 2, 2}, {6, 2, 2, 2}}));
    EXPECT_EQ(pixels[0], 0xFF102030u);              // alpha forced, colours as they are
    EXPECT_EQ(pixels[1 * 10 + 1], 0xFF102131u);
    EXPECT_EQ(pixels[0 * 10 + 2], 0xDEADBEEFu);     // outside the first rectangle
    EXPECT_EQ(pixels[3 * 10 + 7], 0xFF102337u);
    EXPECT_EQ(pixels[3 * 10 + 8], 0xDEADBEEFu);     // beyond the frame's width
    EXPECT_TRUE(copy_frame_rects(frame, surface, {}).empty());

    // Rows longer than one group of eight, starting off the group boundary.
    Pixmap wide = Pixmap::create_or_die(40, 2);
    for (std::uint32_t x = 0; x < 40; ++x)
        wide.at(x, 1) = 0x00000100u * x + 7;
    std::vector<std::uint32_t> target(40 * 2, 0);
    DirtyRect row[] = {{3, 1, 30, 1}};
    copy_frame_rects(wide, {target.data(), 40, 2, 160}, row);
    for (std::uint32_t x = 0; x < 40; ++x)
        EXPECT_EQ(target[40 + x], x >= 3 && x < 33 ? 0xFF000007u + 0x100u * x : 0u) << x;
}

TEST_F(WindowProcTest, PressAndReleaseActOnlyOnTheSameElement)
{
    set_links({{.text = "Site", .url = "https://site/"}, {.text = "Loja", .url = "http://loja/"}});
    click(region(hit_id::link, 0), region(hit_id::link, 1)); // a link pressed, another released
    click(region(hit_id::close), region(hit_id::minimise));
    click(region(hit_id::news, 1)); // a news item without an address
    EXPECT_THAT(started.urls, IsEmpty());
    EXPECT_FALSE(window.destroyed());

    click(region(hit_id::link, 1));
    click(region(hit_id::news, 0));
    click(region(hit_id::all_news));
    EXPECT_THAT(started.urls, ElementsAre("http://loja/", "https://a/n", all_news_url()));
    EXPECT_TRUE(all_news_url().ends_with("/media"));

    // Out and back over the same button still acts.
    event(ev::ButtonPressed{1030, 30});
    event(ev::PointerMoved{500, 300});
    event(ev::ButtonReleased{1030, 30});
    EXPECT_THAT(window.calls, ::testing::Contains("minimise"));
    EXPECT_FALSE(window.capture);

    click(region(hit_id::close));
    EXPECT_TRUE(window.destroyed());
    EXPECT_TRUE(context.quit);
    EXPECT_TRUE(app().stop_flag->load());
}

TEST_F(WindowProcTest, ALinkWithoutAnAddressAndADisabledPlayDoNothing)
{
    set_links({{.text = "Site", .url = ""}});
    click(region(hit_id::link, 0)); // not clickable without an address
    EXPECT_THAT(started.urls, IsEmpty());
    ui().play_enabled = false;
    app().update_done = true;
    write_signed_client();
    click(region(hit_id::play));
    EXPECT_THAT(started.processes, IsEmpty());
}

TEST_F(WindowProcTest, CursorFollowsTheHoveredElement)
{
    set_links({{.text = "Site", .url = "https://site/"}, {.text = "Vazio"}});
    struct Case {
        std::int32_t id, data;
        bool play_enabled;
        const char* cursor;
    } cases[] = {
        {hit_id::none, 0, true, "cursor arrow"},      {hit_id::link, 0, true, "cursor hand"},
        {hit_id::link, 1, true, "cursor arrow"},      {hit_id::link, 2, true, "cursor hand"}, // "Opções"
        {hit_id::minimise, 0, true, "cursor hand"},   {hit_id::close, 0, true, "cursor hand"},
        {hit_id::window_mode, 0, true, "cursor hand"}, {hit_id::settings, 0, true, "cursor hand"},
        {hit_id::play, 0, true, "cursor hand"},       {hit_id::play, 0, false, "cursor arrow"},
    };
    for (const Case& c : cases) {
        ui().play_enabled = c.play_enabled;
        HitRegion r = c.id == hit_id::none ? HitRegion{300, 300, 301, 301} : region(c.id, c.data);
        window.calls.clear();
        event(ev::PointerMoved{static_cast<std::int32_t>(r.x0 + 1), static_cast<std::int32_t>(r.y0 + 1)});
        EXPECT_THAT(window.calls, ElementsAre(c.cursor)) << c.id << "/" << c.data;
    }
}

TEST_F(WindowProcTest, PointerLeavingForgetsTheHoverUnlessCaptured)
{
    event(ev::PointerMoved{1030, 30});
    EXPECT_EQ(ui().hover_id, hit_id::minimise);
    window.capture = true;
    event(ev::PointerLeft{});
    EXPECT_EQ(ui().hover_id, hit_id::minimise);
    window.capture = false;
    event(ev::PointerLeft{});
    EXPECT_EQ(ui().hover_id, hit_id::none);
    EXPECT_EQ(ui().pointer_x, -1);
}

TEST_F(WindowProcTest, EscapeOnTheMainScreenDoesNothing)
{
    event(ev::EscapePressed{});
    EXPECT_EQ(ui().screen_mode, screen_main);
    EXPECT_THAT(window.calls, IsEmpty());
}

TEST_F(WindowProcTest, FinishedShowsTheOutcomeByPathAndError)
{
    struct Case {
        bool managed;
        bool client_present;
        Result<bool> outcome;
        const char* label;
        const char* play_label;
        bool ready;
    } cases[] = {
        {true, true, false, "Cliente pronto para jogar.", "cliente pronto", true},
        {false, true, false, "Cliente atualizado.", "cliente pronto", true},
        {true, false, failure("sem rede"), "Não foi possível baixar o jogo: sem rede", "tentar de novo", true},
        {true, true, failure("sem rede"), "Não foi possível atualizar: sem rede", "sem atualizar", true},
        {false, false, failure("sem rede"), "Não foi possível atualizar: sem rede", "sem atualizar", true},
        {true, false, failure("cancelado"), "Preparando...", "aguarde...", false},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        if (c.client_present)
            dir.write("Main.exe", "x");
        app().managed_update = c.managed;
        app().update_running = true;
        ui().rate_line = "1,0 MB/s";
        send(ui_message::Finished{c.outcome});
        SCOPED_TRACE(c.label);
        EXPECT_FALSE(app().update_running);
        EXPECT_EQ(ui().status_label, c.label);
        EXPECT_EQ(ui().play_label, c.play_label);
        EXPECT_EQ(app().update_done, c.ready);
        EXPECT_EQ(ui().play_enabled, c.ready);
        EXPECT_EQ(app().client_ready_at.has_value(), c.outcome.has_value());
        if (c.ready) {
            EXPECT_EQ(ui().rate_line, "");
        }
        std::filesystem::remove(dir.path() / "Main.exe");
    }
}

TEST_F(WindowProcTest, FinishedWithRelaunchRestartsTheLauncher)
{
    send(ui_message::Progress{{0.5, 0.25, 2.5 * 1024 * 1024, "Baixando", ""}});
    EXPECT_EQ(ui().status_label, "Baixando");
    EXPECT_EQ(ui().detail_line, "-");
    EXPECT_EQ(ui().percent, 25);
    send(ui_message::Finished{true});
    EXPECT_EQ(ui().status_label, "Launcher atualizado. Reiniciando...");
    EXPECT_EQ(ui().percent, 100);
    ASSERT_EQ(started.processes.size(), 1u);
    EXPECT_EQ(started.processes[0].program, "/nowhere/torvane");
    EXPECT_THAT(started.processes[0].arguments, IsEmpty());
    EXPECT_TRUE(window.destroyed());
}

TEST_F(WindowProcTest, AFinishedUpdateReleasesAPendingPlay)
{
    write_signed_client();
    struct Case {
        Result<bool> outcome;
        bool starts;
    } cases[] = {{false, true}, {failure("cancelado"), false}, {failure("falhou"), true}};
    for (const Case& c : cases) {
        started.processes.clear();
        app().play_pending = true;
        app().update_done = false;
        send(ui_message::Finished{c.outcome});
        EXPECT_FALSE(app().play_pending);
        EXPECT_EQ(started.processes.size(), c.starts ? 1u : 0u);
    }
    // A cancellation still lets the pending Play start when the client was already ready.
    started.processes.clear();
    app().play_pending = true;
    app().update_done = true;
    send(ui_message::Finished{failure("cancelado")});
    EXPECT_EQ(started.processes.size(), 1u);
}

TEST_F(WindowProcTest, FetchedConfigurationMergesOnlyItsFiveFieldsAndIsCached)
{
    LauncherConfig& held = app().config;
    held.game_exe = "Jogo.exe";
    held.close_after_start = false;
    std::vector<LauncherNews> held_news = held.news.value_or(std::vector<LauncherNews>{});
    auto fetched = std::make_unique<LauncherConfig>();
    fetched->server_name = "Servidor Novo";
    fetched->game_exe = "Outro.exe";
    fetched->close_after_start = true;
    fetched->update = UpdateConfig{.enabled = true};
    fetched->news = std::vector<LauncherNews>{}; // empty: keeps what is shown
    fetched->links = std::vector<LauncherLink>{{.text = "Fórum", .url = "https://forum/"}};
    fetched->info = std::vector<LauncherInfo>{{.label = "Taxa", .value = "10x"}};
    fetched->abertura = "2027-01-02T20:00:00-03:00";
    send(ui_message::ConfigLoaded{std::move(fetched)});

    EXPECT_EQ(held.server_name, "Servidor Novo");
    EXPECT_EQ(held.game_exe, "Jogo.exe");
    EXPECT_FALSE(held.close_after_start);
    EXPECT_EQ(held.news.value_or(std::vector<LauncherNews>{}), held_news);
    ASSERT_TRUE(held.links);
    EXPECT_EQ(held.links->at(0).text, "Fórum");
    EXPECT_EQ(held.abertura, "2027-01-02T20:00:00-03:00");
    EXPECT_THAT(window.calls, ElementsAre("title Servidor Novo"));
    EXPECT_EQ(ui().links.front().label, "Fórum");
    EXPECT_EQ(load_launcher_config(dir.path()), held); // the held configuration, not the fetched one

    // A blank name changes nothing, and nothing is written when nothing changed.
    window.calls.clear();
    std::filesystem::remove(launcher_json_cache_path(dir.path()));
    auto blank = std::make_unique<LauncherConfig>();
    blank->server_name = " \t";
    send(ui_message::ConfigLoaded{std::move(blank)});
    EXPECT_THAT(window.calls, IsEmpty());
    EXPECT_FALSE(std::filesystem::exists(launcher_json_cache_path(dir.path())));
}

TEST_F(WindowProcTest, ClientReadyMovesTheGameFolderAndReadsItsSettings)
{
    auto release = dir.path() / "Versions" / "r1";
    std::filesystem::create_directories(release);
    GameSettings settings;
    settings.window_mode = 2;
    ASSERT_TRUE(save_game_settings(release, settings));
    ui().windowed_on = true;
    send(ui_message::ClientReady{release});
    EXPECT_EQ(app().game_dir, release);
    EXPECT_FALSE(ui().windowed_on);
    EXPECT_EQ(ui().window_mode_tween.to, 0.0f);
}

TEST_F(WindowProcTest, ServerStatusUpdatesTheBadge)
{
    ui().clock = 3;
    send(ui_message::ServerStatus{true});
    EXPECT_EQ(ui().status_text, "ONLINE");
    EXPECT_EQ(ui().online_since, 3);
    ui().clock = 5;
    send(ui_message::ServerStatus{true});
    EXPECT_EQ(ui().online_since, 3);
    send(ui_message::ServerStatus{false});
    EXPECT_EQ(ui().status_text, "OFFLINE");
}

TEST_F(WindowProcTest, CloseTimerClosesOrOffersAnotherClient)
{
    for (bool close_after_start : {true, false}) {
        window = RecordingWindow(1100, 660);
        app().config.close_after_start = close_after_start;
        event(ev::TimerFired{close_timer_id});
        EXPECT_EQ(window.calls.front(), "stop timer 7");
        EXPECT_EQ(window.destroyed(), close_after_start);
        if (!close_after_start) {
            EXPECT_EQ(ui().play_label, "abrir outra conta");
            EXPECT_TRUE(ui().play_enabled);
            EXPECT_TRUE(app().update_done);
        }
    }
}

TEST_F(WindowProcTest, ActionQueueRunsInOrderAndStopsAtClose)
{
    app().config.server_name = "Mundo";
    queue_window_action(app(), window_action::MessageBox{"primeira", platform::MessageIcon::Error});
    window.during_message_box = [this] {
        // Queued while the first box is open: shown after it.
        StateBorrow borrowed(context);
        ASSERT_TRUE(borrowed);
        queue_window_action(*borrowed, window_action::MessageBox{"segunda", platform::MessageIcon::Warning});
    };
    queue_window_action(app(), window_action::ArmCloseTimer{});
    queue_window_action(app(), window_action::Close{});
    queue_window_action(app(), window_action::Minimize{});
    run_window_actions(context, window);
    EXPECT_THAT(window.calls, ElementsAre("box Mundo | primeira | error", "timer 7 15000", "destroy"));

    // The box queued during the first runs in the next pass, when nothing closes the window.
    TearDown();
    SetUp();
    window = RecordingWindow(1100, 660);
    queue_window_action(app(), window_action::MessageBox{"primeira", platform::MessageIcon::Error});
    window.during_message_box = [this] {
        StateBorrow borrowed(context);
        queue_window_action(*borrowed, window_action::MessageBox{"segunda", platform::MessageIcon::Warning});
    };
    run_window_actions(context, window);
    EXPECT_THAT(window.calls, ElementsAre("box Torvane | primeira | error", "box Torvane | segunda | warning"));
}

// A box's modal loop (Windows) hands its events to the window procedure while run_window_actions
// waits in message_box: worker events, timers and frames go on; what they queue runs after the box,
// so that boxes show one after the other; a close asked for meanwhile takes the window and the
// rest of the queue.
TEST_F(WindowProcTest, TheWindowGoesOnWhileItsMessageBoxIsOpen)
{
    app().config.close_after_start = true;
    queue_window_action(app(), window_action::MessageBox{"primeira", platform::MessageIcon::Error});
    std::string status_during_box;
    bool presented_during_box = false;
    window.during_message_box = [&] {
        send(ui_message::ServerStatus{true});
        status_during_box = ui().status_text;
        {
            StateBorrow borrowed(context);
            queue_window_action(*borrowed, window_action::MessageBox{"segunda", platform::MessageIcon::Warning});
        }
        event(ev::TimerFired{close_timer_id}); // queues Close
        context.frame_deadline = {};
        event(ev::FrameDue{});
        presented_during_box = !window.updated.empty();
    };
    run_window_actions(context, window);
    EXPECT_EQ(status_during_box, "ONLINE");
    EXPECT_TRUE(presented_during_box);
    EXPECT_THAT(window.calls, ElementsAre("box Torvane | primeira | error", "stop timer 7", "box Torvane | segunda | warning",
                                  "destroy"));
    EXPECT_EQ(window.deepest_boxes, 1) << "two boxes were open at once";

    // The player closes the window while the box is open (the taskbar's close).
    TearDown();
    SetUp();
    window = RecordingWindow(1100, 660);
    queue_window_action(app(), window_action::MessageBox{"primeira", platform::MessageIcon::Error});
    queue_window_action(app(), window_action::ArmCloseTimer{});
    window.during_message_box = [&] { event(ev::CloseRequested{}); };
    run_window_actions(context, window);
    EXPECT_THAT(window.calls, ElementsAre("box Torvane | primeira | error", "destroy"));
}

TEST_F(WindowProcTest, AFrameIsPresentedWhenDueOnTheGrid)
{
    using clock = std::chrono::steady_clock;
    const clock::time_point t0 = clock::time_point{} + 1000s;
    struct Case {
        const char* what;
        bool minimised;
        clock::duration deadline; // after t0; now is t0
        bool presents;
        clock::duration next;
    };
    const Case cases[] = {
        {"due", false, -5ms, true, -5ms + frame_period},
        {"late by more than a period: no burst", false, -40ms, true, frame_period},
        {"not due yet", false, 5ms, false, 5ms},
        {"minimised: the next frame is due at once when it is restored", true, 5ms, false, 0ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        context = WindowContext{};
        SetUp();
        window = RecordingWindow(1100, 660);
        if (c.minimised)
            event(ev::Minimised{});
        window.updated.clear();
        context.frame_deadline = t0 + c.deadline;
        present_due_frame(context, window, t0);
        EXPECT_EQ(!window.updated.empty(), c.presents);
        EXPECT_EQ(context.frame_deadline, t0 + c.next);
    }
}

TEST_F(WindowProcTest, AnEventWhileTheStateIsLentFindsItBusy)
{
    StateBorrow outer(context);
    ASSERT_TRUE(outer);
    StateBorrow inner(context);
    EXPECT_FALSE(inner);
    window_proc(context, window, ev::PointerMoved{1030, 30});
    EXPECT_EQ(outer->ui.hover_id, hit_id::none);
}

TEST_F(WindowProcTest, PresentingCopiesOnlyWhatChangedAndNothingWhileMinimised)
{
    present_frame(context, window);
    ASSERT_FALSE(window.updated.empty());
    EXPECT_EQ(window.updated.front(), (platform::PixelRect{0, 0, 1100, 660})); // the first frame is whole
    EXPECT_EQ(window.pixel(5, 5) >> 24, 0xFFu);
    event(ev::Minimised{});
    window.updated.clear();
    present_frame(context, window);
    EXPECT_THAT(window.updated, IsEmpty());
    event(ev::Restored{});
    EXPECT_TRUE(ui().redraw_all);
    event(ev::Exposed{});
    EXPECT_EQ(window.updated.back(), (platform::PixelRect{0, 0, 1100, 660}));
}

TEST_F(WindowProcTest, ScaleChangeResizesAtTheSuggestedCorner)
{
    event(ev::ScaleChanged{1.5f, 40, 30});
    EXPECT_EQ(ui().scale, 1.5f);
    EXPECT_EQ(ui().frame_canvas.width(), 1650u);
    EXPECT_THAT(window.calls, ElementsAre("bounds 40,30 1650x990"));
    window.calls.clear();
    event(ev::ScaleChanged{0.25f, 0, 0}); // never below half size
    EXPECT_THAT(window.calls, ElementsAre("bounds 0,0 550x330"));
}

TEST_F(WindowProcTest, UpdateCheckStartsOneThreadAtATime)
{
    start_update_check(app());
    start_update_check(app());
    EXPECT_EQ(started.sealed_updates, 1);
    EXPECT_EQ(ui().play_label, "verificando...");
    EXPECT_FALSE(ui().play_enabled);

    app().update_running = false;
    app().managed_update = false;
    app().config.update = UpdateConfig{.enabled = true};
    start_update_check(app());
    start_update_check(app());
    EXPECT_EQ(started.manifest_updates, 1);
}

TEST_F(WindowProcTest, UpdateCheckWithUpdatingOffDeclaresTheClientReady)
{
    app().managed_update = false;
    for (std::optional<UpdateConfig> update : {std::optional<UpdateConfig>{}, std::optional{UpdateConfig{.enabled = false}}}) {
        app().config.update = update;
        app().play_pending = true;
        started.processes.clear();
        dir.write("Main.exe", "#!/bin/sh\n");
        start_update_check(app());
        EXPECT_EQ(started.sealed_updates + started.manifest_updates, 0);
        EXPECT_EQ(ui().status_label, "Atualização automática desativada. Cliente pronto.");
        EXPECT_EQ(ui().detail_line, "-");
        EXPECT_EQ(ui().percent, 100);
        EXPECT_EQ(ui().thin_bar_tween.to, 100);
        EXPECT_FALSE(app().play_pending);
        EXPECT_EQ(started.processes.size(), 1u); // the pending Play starts the game
    }
}

TEST_F(WindowProcTest, PlayChecksAgainWhenTheClientIsNotFresh)
{
    write_signed_client();
    struct Case {
        std::optional<std::chrono::seconds> ready_ago;
        bool update_done;
        bool starts_now;
        bool checks;
    } cases[] = {
        {30s, false, false, false}, // nothing while no update has finished
        {30s, true, true, false},
        {60s, true, true, false},
        {61s, true, false, true},
        {std::nullopt, true, false, true},
    };
    for (const Case& c : cases) {
        started = {};
        app().update_running = false;
        app().play_pending = false;
        app().update_done = c.update_done;
        app().client_ready_at = c.ready_ago ? std::optional(started.now - *c.ready_ago) : std::nullopt;
        handle_action(app(), ui_action::Play{});
        EXPECT_EQ(started.processes.size(), c.starts_now ? 1u : 0u);
        EXPECT_EQ(started.sealed_updates, c.checks ? 1 : 0);
        EXPECT_EQ(app().play_pending, c.checks);
    }
}

TEST_F(WindowProcTest, PlayWithoutTheClient)
{
    app().update_done = true;
    handle_action(app(), ui_action::Play{});
    EXPECT_EQ(started.sealed_updates, 1); // managed: the update installs it
    EXPECT_FALSE(app().play_pending);

    app().managed_update = false;
    app().update_running = false;
    app().update_done = true;
    app().config.game_exe = "Jogo.exe";
    handle_action(app(), ui_action::Play{});
    ASSERT_EQ(app().actions.size(), 1u);
    auto* box = std::get_if<window_action::MessageBox>(&app().actions[0]);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Não encontrei o Jogo.exe nesta pasta.\nColoque o launcher na pasta do jogo.");
    EXPECT_EQ(box->icon, platform::MessageIcon::Warning);
}

TEST_F(WindowProcTest, GameStartsVerifiedInItsFolderWithTheLockInherited)
{
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    write_signed_client();
    app().game_dir = dir.path();
    launch_game(app());
    ASSERT_EQ(started.processes.size(), 1u);
    const platform::ProgramLaunch& launch = started.processes[0];
    EXPECT_EQ(launch.program, dir.path() / "Main.exe");
    EXPECT_THAT(launch.arguments, ElementsAre("-launcher"));
    EXPECT_EQ(launch.working_folder, dir.path());
    ASSERT_TRUE(launch.inherited_descriptor);
    EXPECT_THAT(started.inherited_locked, ElementsAre(1));
    ASSERT_EQ(app().actions.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<window_action::Minimize>(app().actions[0]));
    EXPECT_TRUE(std::holds_alternative<window_action::ArmCloseTimer>(app().actions[1]));
    EXPECT_EQ(ui().play_label, "abrindo o jogo...");
    EXPECT_FALSE(ui().play_enabled);
}

// Another file renamed over Main.exe between the signature check and the start never runs: the
// started client is the verified one, natively or through wine.
TEST_F(WindowProcTest, TheVerifiedClientRunsWhenAnotherFileIsRenamedOverIt)
{
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    // wine's stand-in copies the program it is given into "iniciado" in the game folder.
    auto wine = dir.write("bin/wine", "#!/bin/sh\ncat \"$1\" > iniciado.parte && mv iniciado.parte iniciado\n");
    std::filesystem::permissions(wine, std::filesystem::perms::owner_all);
    const std::string saved_path = std::getenv("PATH");
    ::setenv("PATH", ((dir.path() / "bin").string() + ":" + saved_path).c_str(), 1);
    const std::string native = "#!/bin/sh\necho verificado > iniciado.parte && mv iniciado.parte iniciado\n";
    const std::string native_impostor = "#!/bin/sh\necho impostor > iniciado.parte && mv iniciado.parte iniciado\n";
    struct Case {
        const char* name;
        std::string verified;
        std::string impostor;
        std::string started;
    };
    const Case cases[] = {
        {"a native client", native, native_impostor, "verificado\n"},
        {"a Windows client", "MZ verificado\n", "MZ impostor\n", "MZ verificado\n"},
        {"a Windows client replaced by a native program", "MZ verificado\n", native_impostor, "MZ verificado\n"},
        {"a native client replaced by a Windows program", native, "MZ impostor\n", "verificado\n"},
    };
    app().game_dir = dir.path();
    const std::filesystem::path started_file = dir.path() / "iniciado";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(started_file);
        app().actions.clear();
        write_signed_client(c.verified);
        app().services.start_process = [&](const platform::ProgramLaunch& launch) {
            auto impostor = dir.write("outro", c.impostor);
            std::filesystem::permissions(impostor, std::filesystem::perms::owner_all);
            std::filesystem::rename(impostor, dir.path() / "Main.exe");
            return platform::start_detached(launch);
        };
        launch_game(app());
        ASSERT_EQ(app().actions.size(), 2u);
        EXPECT_TRUE(std::holds_alternative<window_action::Minimize>(app().actions[0]));
        ASSERT_TRUE(test::wait_until([&] { return std::filesystem::exists(started_file); }));
        EXPECT_EQ(dir.read("iniciado"), c.started);
    }
    ::setenv("PATH", saved_path.c_str(), 1);
}

// The same with wine itself and real Windows programs: the verified client runs, from the game
// folder and with "-launcher".
TEST_F(WindowProcTest, UnderWineTheVerifiedClientRunsWhenAnotherFileIsRenamedOverIt)
{
#ifndef TORVANE_WINE_CLIENTS
    GTEST_SKIP() << "needs wine and a Windows cross compiler";
#else
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    const std::filesystem::path clients = TORVANE_WINE_CLIENTS;
    auto bytes_of = [](const std::filesystem::path& file) {
        return platform::read_file(file, platform::document_read_limit).value();
    };
    write_signed_client(bytes_of(clients / "verificado.exe"));
    const std::string impostor = bytes_of(clients / "impostor.exe");
    // A prefix of the test's own (wine makes it at its first start), with wine's messages off.
    const std::string prefix = (dir.path() / "wine").string();
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    ::setenv("WINEDEBUG", "-all", 1);
    app().game_dir = dir.path();
    app().services.start_process = [&](const platform::ProgramLaunch& launch) {
        std::filesystem::rename(dir.write("outro.exe", impostor), dir.path() / "Main.exe");
        return platform::start_detached(launch);
    };
    launch_game(app());
    EXPECT_EQ(app().actions.size(), 2u);
    const bool started = test::wait_until([&] { return std::filesystem::exists(dir.path() / "iniciado.txt"); }, 180s);
    // The prefix's wine server ends before the test's folder goes.
    (void)std::system("wineserver -k; wineserver -w");
    ::unsetenv("WINEPREFIX");
    ::unsetenv("WINEDEBUG");
    ASSERT_TRUE(started);
    EXPECT_EQ(dir.read("iniciado.txt"), "verificado -launcher\n");
#endif
}

TEST_F(WindowProcTest, GameStartFailuresShowTheErrorAndMakePlayReadyAgain)
{
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    struct Case {
        const char* body;
        bool tamper;
        Status start;
        const char* text;
    } cases[] = {
        {"#!/bin/sh\n", true, {}, "Não foi possível abrir o jogo:\na assinatura digital do cliente é inválida."},
        {"#!/bin/sh\n", false, failure("Permission denied (os error 13)"), "Não foi possível abrir o jogo:\nPermission denied (os error 13)"},
        // The player said no to the elevation prompt: no box, Play is ready again.
        {"#!/bin/sh\n", false, failure(cancelled_text), nullptr},
    };
    for (const Case& c : cases) {
        app().actions.clear();
        started = {};
        started.process_result = c.start;
        write_signed_client(c.body);
        if (c.tamper)
            dir.write("Main.exe", std::string(c.body) + "echo outro\n");
        launch_game(app());
        if (c.text) {
            ASSERT_EQ(app().actions.size(), 1u);
            auto* box = std::get_if<window_action::MessageBox>(&app().actions[0]);
            ASSERT_TRUE(box);
            EXPECT_EQ(box->text, c.text);
            EXPECT_EQ(box->icon, platform::MessageIcon::Error);
        } else {
            EXPECT_THAT(app().actions, IsEmpty());
        }
        EXPECT_EQ(ui().play_label, "cliente pronto");
        EXPECT_TRUE(ui().play_enabled);
        EXPECT_TRUE(app().update_done);
    }
}

TEST_F(WindowProcTest, GameExecutableName)
{
    struct Case {
        bool managed;
        std::optional<std::string> game_exe;
        const char* name;
    } cases[] = {
        {true, "Jogo.exe", "Main.exe"},  {false, std::nullopt, "Main.exe"}, {false, " \t", "Main.exe"},
        {false, "", "Main.exe"},         {false, " Jogo.exe", " Jogo.exe"}, {false, "Jogo.exe", "Jogo.exe"},
    };
    for (const Case& c : cases) {
        app().managed_update = c.managed;
        app().config.game_exe = c.game_exe;
        EXPECT_EQ(game_exe_name(app()), c.name);
    }
}

TEST_F(WindowProcTest, OpenLinkTakesOnlyWebAddresses)
{
    struct Case {
        const char* url;
        std::optional<std::string> opened;
    } cases[] = {
        {"  HTTPS://Exemplo.COM/Pagina \n", "HTTPS://Exemplo.COM/Pagina"},
        {"http://a/", "http://a/"},
        {"ftp://a/", std::nullopt},
        {"file:///etc/passwd", std::nullopt},
        {"javascript:alert(1)", std::nullopt},
        {"", std::nullopt},
        {"https:/", std::nullopt},
    };
    for (const Case& c : cases) {
        started.urls.clear();
        handle_action(app(), ui_action::OpenLink{c.url});
        if (c.opened)
            EXPECT_THAT(started.urls, ElementsAre(*c.opened)) << c.url;
        else
            EXPECT_THAT(started.urls, IsEmpty()) << c.url;
    }
}

TEST_F(WindowProcTest, WindowModeSwitchWritesTheGameSettings)
{
    struct Case {
        std::int32_t stored;
        bool on;
        std::int32_t written;
    } cases[] = {{2, false, 2}, {1, false, 0}, {0, true, 1}, {2, true, 1}};
    for (const Case& c : cases) {
        GameSettings settings;
        settings.window_mode = c.stored;
        ASSERT_TRUE(save_game_settings(app().game_dir, settings));
        handle_action(app(), ui_action::SetWindowed{c.on});
        EXPECT_EQ(load_game_settings(app().game_dir).window_mode, c.written) << c.stored << " " << c.on;
    }
    // The switch itself flips on release and eases its knob.
    ui().windowed_on = true;
    click(region(hit_id::window_mode));
    EXPECT_FALSE(ui().windowed_on);
    EXPECT_EQ(ui().window_mode_tween.to, 0.0f);
    EXPECT_EQ(load_game_settings(app().game_dir).window_mode, 0);
}

TEST_F(WindowProcTest, TitleIsTheServerNameOrTorvane)
{
    EXPECT_EQ(window_title(LauncherConfig{}), "Torvane");
    EXPECT_EQ(window_title(LauncherConfig{.server_name = ""}), "");
    EXPECT_EQ(window_title(LauncherConfig{.server_name = "Mundo"}), "Mundo");
}

TEST_F(WindowProcTest, SettingsDialogThroughTheWindowEvents)
{
    auto centre_of = [this](std::int32_t id, std::int32_t data) {
        present_frame(context, window); // the dialog's regions come from its painter
        for (const HitRegion& r : ui().dialog_hits)
            if (r.id == id && r.data == data)
                return std::pair{static_cast<std::int32_t>((r.x0 + r.x1) / 2), static_cast<std::int32_t>((r.y0 + r.y1) / 2)};
        ADD_FAILURE() << "no dialog region " << id << "/" << data;
        return std::pair{0, 0};
    };
    auto press_release = [this](std::pair<std::int32_t, std::int32_t> at) {
        event(ev::PointerMoved{at.first, at.second});
        event(ev::ButtonPressed{at.first, at.second});
        event(ev::ButtonReleased{at.first, at.second});
    };
    GameSettings stored;
    stored.window_mode = 0;
    ASSERT_TRUE(save_game_settings(app().game_dir, stored));

    click(region(hit_id::settings));
    ASSERT_EQ(ui().screen_mode, screen_settings);
    EXPECT_FALSE(is_caption(ui(), 100, 30));
    press_release(centre_of(hit_id::dialog_list_header, 2)); // "Limite de FPS"
    ASSERT_EQ(ui().screen_mode, screen_settings_list);
    event(ev::EscapePressed{});
    EXPECT_EQ(ui().screen_mode, screen_settings); // only the list closes
    event(ev::EscapePressed{});
    EXPECT_EQ(ui().screen_mode, screen_main);

    click(region(hit_id::settings));
    press_release(centre_of(hit_id::dialog_list_header, 2));
    auto row = centre_of(hit_id::dialog_list_option, 0);
    event(ev::PointerMoved{row.first, row.second});
    event(ev::ButtonPressed{row.first, row.second}); // a row is taken on press
    EXPECT_EQ(ui().screen_mode, screen_settings);
    event(ev::ButtonReleased{row.first, row.second});
    press_release(centre_of(hit_id::dialog_list_header, 0)); // the window mode's first row: "Janela"
    press_release(centre_of(hit_id::dialog_list_option, 0));
    press_release(centre_of(hit_id::dialog_save, 0));
    EXPECT_EQ(ui().screen_mode, screen_main);
    GameSettings saved = load_game_settings(app().game_dir);
    EXPECT_EQ(saved.fps_index, 0u);
    EXPECT_EQ(saved.window_mode, 1);
    EXPECT_THAT(dir.read("Data/Custom/config.ini"), ::testing::HasSubstr("Limit=30"));
    EXPECT_TRUE(ui().windowed_on); // the main screen's switch follows the saved mode

    // Cancel and a press outside close without saving.
    for (std::int32_t closer : {hit_id::dialog_cancel, hit_id::dialog_outside}) {
        click(region(hit_id::settings));
        press_release(centre_of(hit_id::dialog_list_header, 2));
        press_release(centre_of(hit_id::dialog_list_option, 3));
        if (closer == hit_id::dialog_cancel)
            press_release(centre_of(hit_id::dialog_cancel, 0));
        else
            press_release({5, 5});
        EXPECT_EQ(ui().screen_mode, screen_main);
        EXPECT_EQ(load_game_settings(app().game_dir).fps_index, 0u);
    }
}

} // namespace
} // namespace torvane
