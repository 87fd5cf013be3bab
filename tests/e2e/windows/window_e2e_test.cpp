// The Windows launcher's window as a player meets it under Wine: the real Torvane.exe on a private
// X server of the test (with openbox where a case needs a window manager), in a Wine prefix of the
// test, driven with xdotool against nginx on loopback. The game's Main.exe is a small Windows
// program (build-windows/e2e/recording-main.exe) that records its folder and arguments; the
// desktop's URL handler (xdg-open, which Wine's browser hand-off runs) is a recording stand-in.
#include "core/config_json.hpp"
#include "core/game_client_files.hpp"
#include "core/launcher_config_cache.hpp"
#include "game/server_status.hpp"
#include "platform/files.hpp"
#include "platform/registry.hpp"
#include "release_keys.hpp"
#include "release_service.hpp"
#include "support/sample_client.hpp"
#include "support/temp_dir.hpp"
#include "support/window_clicks.hpp"
#include "support/xvfb_display.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"
#include "ui/main_screen.hpp"
#include "ui/settings_dialog.hpp"
#include "ui/settings_overlay.hpp"
#include "ui/ui_state.hpp"
#include "update/digest.hpp"
#include "update/self_update.hpp"
#include "e2e/window_session.hpp"
#include "wine_launcher.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

namespace torvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr float play_x = 945;
constexpr float play_y = 592;
constexpr float close_x = 1073;
constexpr float close_y = 28;

// Where a logical point of the window lands on the screen.
using Placed = test::PlacedWindow;

// A game server that answers the launcher's status probe: a socket listening on the loopback
// port the probe connects to (connections complete in the backlog; nothing is read).
class GameServerStandIn {
public:
    GameServerStandIn()
    {
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int reuse = 1;
        ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(game_server_port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listening_ = socket_ >= 0 && ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && ::listen(socket_, 64) == 0;
    }
    ~GameServerStandIn()
    {
        if (socket_ >= 0)
            ::close(socket_);
    }
    GameServerStandIn(const GameServerStandIn&) = delete;
    GameServerStandIn& operator=(const GameServerStandIn&) = delete;
    bool listening() const { return listening_; }

private:
    int socket_ = -1;
    bool listening_ = false;
};

// The colour of a screen pixel (0xRRGGBB) is the colour given, give or take a little per channel.
bool near_colour(std::uint32_t pixel, Color colour)
{
    const std::uint32_t want = premultiplied_word(colour);
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((pixel >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) > 24)
            return false;
    return true;
}

struct SessionOptions {
    test::XvfbOptions screen;
    int dpi = 96; // Wine's LogPixels in the test's prefix
};

class WindowsWindowEndToEnd : public test::WindowSession {
protected:
    // A click is given 2 s to have its effect before click_until clicks again.
    WindowsWindowEndToEnd() : WindowSession({100ms, 2s}) {}

    void SetUp() override
    {
        ASSERT_EQ(test::windows_launcher_build_error(), "");
        SKIP_UNLESS_BUILT_WITH_DEV_KEY();
        recorder_ = test::windows_launcher_build().launcher.parent_path() / "recording-main.exe";
        ASSERT_TRUE(fs::is_regular_file(recorder_)) << recorder_;
        shots_ = test::windows_launcher_build().launcher.parent_path().parent_path() / "screenshots" / "windows-e2e";
        fs::create_directories(shots_);
        // Found first on PATH by Wine's browser hand-off.
        install_url_handler();
    }

    void TearDown() override { end_session(); }

    // Ends the Wine processes of the session's prefix, removes the prefix and stops the display.
    void end_session()
    {
        if (prefix_) {
            (void)test::run_program({"wineserver", "-k"}, tools_.path() / "wineserver-k.out", 60s);
            std::error_code ignored;
            fs::remove_all(prefix_->path(), ignored);
            prefix_.reset();
        }
        display_.reset();
    }

    // A display and a Wine prefix of this test only; Wine's desktop belongs to this display.
    bool start_session(SessionOptions options = {})
    {
        display_ = test::XvfbDisplay::start(options.screen);
        if (!display_)
            return false;
        prefix_ = std::make_unique<test::TempDir>();
        ::setenv("WINEPREFIX", prefix_->path().c_str(), 1);
        ::setenv("DISPLAY", display_->name().c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        // No offers to install Mono or Gecko.
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        std::string path = (tools_.path() / "bin").string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
        ::setenv("PATH", path.c_str(), 1);
        ::setenv("TORVANE_STARTED_FILE", test::windows_path(started_file()).c_str(), 1);
        if (test::run_program({"wineboot", "--init"}, tools_.path() / "wineboot.out", 180s).exit_code != 0)
            return false;
        if (test::run_program({"wine", "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                                  "/d", std::to_string(options.dpi), "/f"},
                tools_.path() / "reg.out", 60s)
                .exit_code
            != 0)
            return false;
        (void)test::run_program({"wineserver", "-w"}, tools_.path() / "wineserver-w.out", 60s);
        // Wine's desktop process starts with the first program after the prefix is made: started
        // here, so that the launcher's window does not race it.
        (void)test::run_program({"wine", "cmd", "/c", "exit"}, tools_.path() / "warm.out", 60s);
        return true;
    }

    void start_service()
    {
        WindowSession::start_service(test::windows_launcher_build().port, test::windows_server_certificates());
    }

    // Publishes a client whose Main.exe is the recording stand-in (changed by `mark` at its end,
    // which a Windows program ignores).
    publisher::PublishedRelease publish_recording_client(const std::string& mark = "")
    {
        std::string main_exe = platform::read_file(recorder_, 64 << 20).value_or("");
        EXPECT_FALSE(main_exe.empty());
        return publish_client(main_exe + mark);
    }

    std::unique_ptr<test::WineLauncher> make_launcher(const std::string& name = "Torvane.exe")
    {
        return std::make_unique<test::WineLauncher>(game_.path(), name);
    }

    // Waits for the one viewable window of the title and returns where it lies.
    std::optional<Placed> wait_for_window(const std::string& title, float scale = 1, std::chrono::seconds limit = 60s)
    {
        std::optional<unsigned long> found;
        test::wait_until([&] {
            auto windows = display_->windows_titled(title);
            std::erase_if(windows, [&](unsigned long w) { return !display_->is_viewable(w); });
            if (windows.size() == 1)
                found = windows.front();
            return found.has_value();
        }, limit);
        return place_window(found, scale);
    }

    // What Windows says of the launcher's window (build-windows/e2e/window-probe.exe under Wine):
    // "enabled=<0|1> foreground=<0|1>".
    std::string probe_window()
    {
        fs::path probe = test::windows_launcher_build().launcher.parent_path() / "window-probe.exe";
        std::string output = test::run_program({"wine", probe.string()}, tools_.path() / "probe.out", 60s).output;
        std::erase(output, '\r');
        while (!output.empty() && output.back() == '\n')
            output.pop_back();
        return output;
    }

    std::string registry_query(const std::string& key)
    {
        return test::run_program({"wine", "reg", "query", key}, tools_.path() / "reg-query.out", 60s).output;
    }

    fs::path recorder_;
    std::unique_ptr<test::TempDir> prefix_;
};

TEST_F(WindowsWindowEndToEnd, InstallsTheClientAndPlayStartsMainThenClosesAfterTheStart)
{
    ASSERT_TRUE(start_session({.screen = {.window_manager = true}}));
    start_service();
    auto published = publish_recording_client();
    cache_named_config("Vale Torvane", AfterStart::Close);

    auto launcher = make_launcher();
    pid_t pid = launcher->start({});
    auto placed = wait_for_window("Vale Torvane");
    ASSERT_TRUE(placed) << launcher->output();
    auto geometry = display_->geometry(window_);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->width, 1100);
    EXPECT_EQ(geometry->height, 660);

    fs::path release = game_.path() / "Versions" / published.release_id;
    ASSERT_TRUE(test::wait_until([&] { return read_text(game_.path() / "active-release") == published.release_id; }, 90s))
        << launcher->output();
    std::this_thread::sleep_for(1s);
    screenshot("1-installed");

    // Play is clickable once the window has heard that the update finished.
    ASSERT_TRUE(click_until(*placed, play_x, play_y, [&] { return fs::exists(started_file()); }, 60s))
        << launcher->output();
    EXPECT_TRUE(test::wait_until([&] { return read_text(started_file()).find('\n') != std::string::npos; }));
    EXPECT_EQ(read_text(started_file()), test::windows_path(release) + "|-launcher\n");
    EXPECT_TRUE(test::wait_until([&] { return display_->is_iconic(window_); }, 10s)) << "the window was not minimised";
    screenshot("2-started");

    // Fifteen seconds after the start the launcher closes itself.
    EXPECT_FALSE(test::exit_within(pid, 10s)) << "the launcher closed long before its 15 s";
    EXPECT_EQ(test::exit_within(pid, 40s), 0) << launcher->output();
}

// The window opens centred on the screen at the desktop's scale (Wine's LogPixels), and the
// close button of its title bar ends the launcher with 0.
TEST_F(WindowsWindowEndToEnd, CentredAtTheDesktopsScaleAndTheCloseButtonExits)
{
    struct Case {
        int dpi;
        int screen_width, screen_height;
        int width, height;
    };
    for (Case c : {Case {96, 1600, 1000, 1100, 660}, Case {192, 2560, 1600, 2200, 1320}}) {
        SCOPED_TRACE(c.dpi);
        ASSERT_TRUE(start_session({.screen = {.width = c.screen_width, .height = c.screen_height}, .dpi = c.dpi}));
        auto launcher = make_launcher();
        pid_t pid = launcher->start({"--teste"});
        auto placed = wait_for_window("Torvane", c.dpi / 96.0f);
        ASSERT_TRUE(placed) << launcher->output();
        auto geometry = display_->geometry(window_);
        ASSERT_TRUE(geometry);
        EXPECT_EQ(*geometry, (test::WindowGeometry {(c.screen_width - c.width) / 2, (c.screen_height - c.height) / 2,
                                 c.width, c.height}));
        std::this_thread::sleep_for(1500ms);
        screenshot(std::to_string(c.dpi) + "dpi");
        click(*placed, close_x, close_y);
        EXPECT_EQ(test::exit_within(pid, 20s), 0) << launcher->output();
        end_session();
    }
}

TEST_F(WindowsWindowEndToEnd, ALinkReachesTheUrlHandlerWithItsAddressAsOneArgument)
{
    ASSERT_TRUE(start_session());
    const HitRegion link = cache_config_with_link(" https://localhost/forum?a=1&b=2 ");
    ASSERT_GT(link.x1, link.x0);

    auto launcher = make_launcher();
    pid_t pid = launcher->start({"--teste"});
    auto placed = wait_for_window("Torvane");
    ASSERT_TRUE(placed) << launcher->output();
    std::this_thread::sleep_for(1s);
    click(*placed, (link.x0 + link.x1) / 2, (link.y0 + link.y1) / 2);
    ASSERT_TRUE(test::wait_until([&] { return fs::exists(opened_file()); }, 30s)) << launcher->output();
    EXPECT_TRUE(test::wait_until([&] { return read_text(opened_file()) == "https://localhost/forum?a=1&b=2\n"; }))
        << read_text(opened_file());
    screenshot("after-link");
    EXPECT_FALSE(test::exit_within(pid, 0ms)); // the window stays
    click(*placed, close_x, close_y);
    EXPECT_EQ(test::exit_within(pid, 20s), 0) << launcher->output();
}

TEST_F(WindowsWindowEndToEnd, TheSettingsDialogWritesConfigIniAndTheGamesRegistryKey)
{
    ASSERT_TRUE(start_session());
    const test::SettingsDialogPoints dialog = settings_dialog_points();

    auto launcher = make_launcher();
    pid_t pid = launcher->start({"--teste"});
    auto placed = wait_for_window("Torvane");
    ASSERT_TRUE(placed) << launcher->output();
    std::this_thread::sleep_for(1s);
    click(*placed, 718, 607); // "Configurações"
    std::this_thread::sleep_for(1s);
    click(*placed, dialog.fps_field.first, dialog.fps_field.second);
    std::this_thread::sleep_for(700ms);
    screenshot("list");
    click(*placed, 620, dialog.row_y(1)); // 60
    std::this_thread::sleep_for(500ms);
    screenshot("dialog");
    click(*placed, dialog.save.first, dialog.save.second);
    std::this_thread::sleep_for(1s);
    screenshot("after-save");

    fs::path ini = game_.path() / "Data" / "Custom" / "config.ini";
    ASSERT_TRUE(test::wait_until([&] { return read_text(ini).find("Limit=60") != std::string::npos; }, 20s))
        << read_text(ini) << launcher->output();
    EXPECT_NE(read_text(ini).find("[FPS]"), std::string::npos) << read_text(ini);
    std::this_thread::sleep_for(500ms);
    screenshot("saved");
    click(*placed, close_x, close_y);
    EXPECT_EQ(test::exit_within(pid, 20s), 0) << launcher->output();

    // The game reads its settings from the current user's key, as the dialog wrote them.
    std::string key = registry_query(std::string("HKCU\\") + game_client::registry_key);
    for (const char* name : {game_client::registry_value::window_mode, game_client::registry_value::resolution,
             game_client::registry_value::sound_on_off, game_client::registry_value::music_on_off,
             game_client::registry_value::volume_level})
        EXPECT_NE(key.find(std::string(name) + "    REG_DWORD    0x"), std::string::npos) << name << " in\n" << key;
    EXPECT_NE(key.find(std::string(game_client::registry_value::lang_selection) + "    REG_SZ    Por"), std::string::npos) << key;
}

TEST_F(WindowsWindowEndToEnd, ASecondLauncherBringsTheFirstForwardAndExits)
{
    ASSERT_TRUE(start_session({.screen = {.window_manager = true}}));
    auto launcher = make_launcher();
    pid_t pid = launcher->start({"--teste"});
    auto placed = wait_for_window("Torvane");
    ASSERT_TRUE(placed) << launcher->output();
    std::this_thread::sleep_for(1s);
    click(*placed, 1033, 28); // the title bar's minimise button
    ASSERT_TRUE(test::wait_until([&] { return display_->is_iconic(window_); }, 10s)) << "the window was not minimised";
    screenshot("minimised");

    // The same executable started again.
    auto second = test::run_program({"wine", launcher->path().string(), "--teste"}, tools_.path() / "second.out", 60s);
    EXPECT_EQ(second.exit_code, 0) << second.output;
    EXPECT_TRUE(test::wait_until([&] { return !display_->is_iconic(window_) && display_->is_viewable(window_); }, 10s))
        << "the first window was not brought back";
    EXPECT_EQ(display_->windows_titled("Torvane").size(), 1u);
    std::this_thread::sleep_for(500ms);
    screenshot("restored");
    EXPECT_FALSE(test::exit_within(pid, 0ms));
    click(*placed, close_x, close_y);
    EXPECT_EQ(test::exit_within(pid, 20s), 0) << launcher->output();
}

TEST_F(WindowsWindowEndToEnd, AMainWhoseSignatureFailsShowsTheErrorBoxAndIsNotStarted)
{
    ASSERT_TRUE(start_session({.screen = {.window_manager = true}}));
    start_service();
    auto published = publish_recording_client();
    const LauncherConfig config = cache_named_config("Vale Torvane");
    auto launcher = make_launcher();
    pid_t pid = launcher->start({});
    auto placed = wait_for_window("Vale Torvane");
    ASSERT_TRUE(placed) << launcher->output();
    fs::path release = game_.path() / "Versions" / published.release_id;
    ASSERT_TRUE(test::wait_until([&] { return read_text(game_.path() / "active-release") == published.release_id; }, 90s))
        << launcher->output();
    std::this_thread::sleep_for(1s);
    // The installed executable is changed behind the launcher's back.
    {
        std::ofstream tamper(release / "Main.exe", std::ios::app | std::ios::binary);
        tamper << "changed";
    }
    // The box is captioned like the window: two windows of that name while it is open.
    auto named_windows = [&] {
        auto windows = display_->windows_titled("Vale Torvane");
        std::erase_if(windows, [&](unsigned long w) { return !display_->is_viewable(w); });
        return windows.size();
    };
    bool shown = click_until(*placed, play_x, play_y, [&] { return named_windows() >= 2u; }, 60s);
    std::this_thread::sleep_for(500ms);
    screenshot("error-box");
    ASSERT_TRUE(shown) << launcher->output();

    // The main screen goes on animating behind the box.
    EXPECT_TRUE(stage_changes_within(*placed, 700ms)) << "the window stopped painting while its box is open";

    // The box disables the window; worker events reach the window's state while it is open: the
    // game server comes up and the next status probe turns the badge's dot green.
    EXPECT_EQ(probe_window().substr(0, 9), "enabled=0") << "the window takes input behind its box";
    auto dot_at = [&](const std::string& status) {
        UiState ui = build_ui_state(1, game_.path());
        refresh_ui_from_config(ui, config);
        ui.status_text = status;
        rebuild_ui_model(ui);
        auto point = placed->at(ui.layout.badge_x + 16.5f, 28.5f);
        drop_ui_state(ui);
        return test::WindowGeometry {point.first, point.second, 1, 1};
    };
    auto dot_colour = [&](const test::WindowGeometry& dot) -> std::uint32_t {
        auto image = display_->capture(dot);
        return image ? image->at(0, 0) : 0;
    };
    EXPECT_TRUE(near_colour(dot_colour(dot_at("OFFLINE")), palette::offline)) << std::hex << dot_colour(dot_at("OFFLINE"));
    GameServerStandIn game_server;
    if (game_server.listening()) {
        EXPECT_TRUE(test::wait_until([&] { return near_colour(dot_colour(dot_at("ONLINE")), palette::online); }, 40s))
            << "the server's status did not reach the window while its box was open: " << std::hex
            << dot_colour(dot_at("ONLINE"));
        EXPECT_EQ(named_windows(), 2u) << "the box went away";
        screenshot("online-behind-the-box");
    } else {
        std::fprintf(stderr, "port %d is taken: the status change behind the box is not checked\n", game_server_port);
    }

    // A click on the close button behind the box is dropped, also once the box closes.
    click(*placed, close_x, close_y);
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(test::exit_within(pid, 0ms)) << "a click behind the box closed the launcher";
    EXPECT_EQ(named_windows(), 2u) << "the box went away";

    // The box closes with Return; the game was not started.
    for (unsigned long w : display_->windows_titled("Vale Torvane")) {
        if (w != window_ && display_->is_viewable(w)) {
            EXPECT_TRUE(display_->xdotool({"windowactivate", "--sync", std::to_string(w)}));
        }
    }
    EXPECT_TRUE(display_->xdotool({"key", "Return"}));
    EXPECT_TRUE(test::wait_until([&] { return named_windows() == 1u; }, 10s));
    // The box gave the window back its input and the front.
    EXPECT_TRUE(test::wait_until([&] { return probe_window() == "enabled=1 foreground=1"; }, 10s)) << probe_window();
    std::this_thread::sleep_for(2s);
    EXPECT_FALSE(fs::exists(started_file())) << read_text(started_file());
    EXPECT_FALSE(test::exit_within(pid, 0ms)) << "the click behind the box closed the launcher after it";
    screenshot("after-box");
    click(*placed, close_x, close_y);
    EXPECT_EQ(test::exit_within(pid, 20s), 0) << launcher->output();
}

TEST_F(WindowsWindowEndToEnd, ReplacesItselfAndTheNewLauncherTakesOver)
{
    ASSERT_TRUE(start_session());
    start_service();
    publish_recording_client();
    auto launcher = make_launcher();
    // A build with its debug sections is larger than the largest launcher the service may publish.
    if (fs::file_size(launcher->path()) > launcher_max_size) {
        ASSERT_EQ(std::system(("x86_64-w64-mingw32-strip --strip-debug '" + launcher->path().string() + "'").c_str()), 0);
    }
    // The published launcher: the same program with a trailing mark, which a Windows program ignores.
    std::string old_bytes = platform::read_file(launcher->path(), launcher_max_size).value();
    std::string new_bytes = old_bytes + "\nnew build\n";
    ASSERT_TRUE(platform::create_folders(service_->root() / "files"));
    // The Windows launcher's names in the file area and in launcher.json (this driver is the
    // Linux build, whose own names differ).
    ASSERT_TRUE(platform::write_file(service_->root() / "files" / "Torvane.exe", new_bytes));
    ASSERT_TRUE(platform::write_file(service_->root() / "launcher.json",
        R"({"ServerName":"Vale Torvane","Launcher":{"Sha256":")"
            + hex_lower(sha256_bytes(new_bytes)) + R"(","Size":)" + std::to_string(new_bytes.size()) + "}}"));

    pid_t old_pid = launcher->start({});
    ASSERT_TRUE(wait_for_window("Vale Torvane")) << launcher->output();
    // The old launcher downloads its successor, starts it and closes.
    EXPECT_EQ(test::exit_within(old_pid, 90s), 0) << launcher->output();
    // The successor is a Wine process of its own (not a child of the test): its window shows, it
    // deleted the old executable, and the file is the new one.
    ASSERT_TRUE(wait_for_window("Vale Torvane", 1, 60s)) << launcher->output();
    EXPECT_TRUE(test::wait_until([&] { return !fs::exists(launcher->path().string() + ".old"); }, 40s));
    EXPECT_TRUE(platform::read_file(launcher->path(), launcher_max_size).value() == new_bytes);
    std::this_thread::sleep_for(1s);
    screenshot("successor");

    // A further start only brings the running window forward.
    auto second = test::run_program({"wine", launcher->path().string()}, tools_.path() / "second.out", 60s);
    EXPECT_EQ(second.exit_code, 0) << second.output;
    EXPECT_EQ(display_->windows_titled("Vale Torvane").size(), 1u);
    auto placed = wait_for_window("Vale Torvane");
    ASSERT_TRUE(placed);
    click(*placed, close_x, close_y);
    EXPECT_TRUE(test::wait_until([&] { return display_->windows_titled("Vale Torvane").empty(); }, 20s));
}

} // namespace
} // namespace torvane
