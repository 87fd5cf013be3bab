// The launcher's window as a player meets it: a real window on a private X server, driven with
// xdotool, against nginx serving a release made by the release publisher.
#include "core/config_json.hpp"
#include "core/launcher_config_cache.hpp"
#include "platform/files.hpp"
#include "release_keys.hpp"
#include "release_service.hpp"
#include "support/linux/program_run.hpp"
#include "test_launcher.hpp"
#include "window_session.hpp"
#include "support/sample_client.hpp"
#include "support/temp_dir.hpp"
#include "support/window_clicks.hpp"
#include "support/xvfb_display.hpp"
#include "update/digest.hpp"
#include "game/game_settings.hpp"
#include "platform/registry.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"
#include "ui/settings_dialog.hpp"
#include "ui/settings_overlay.hpp"
#include "ui/ui_state.hpp"
#include "update/self_update.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

extern char** environ;

namespace torvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char window_class[] = "PellamoorLauncherMain";

// Where a logical point of the window lands on the screen.
using Placed = test::PlacedWindow;

// A launcher process started in a game folder of its own.
class RunningLauncher {
public:
    RunningLauncher(const fs::path& program, const std::vector<std::string>& arguments,
        const std::vector<std::string>& environment, const fs::path& output)
    {
        std::vector<std::string> command {program.string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        pid_ = test::start_program(command, output, &environment);
    }
    ~RunningLauncher()
    {
        if (pid_ > 0 && !exit_code_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    // The exit code once the process has ended within the time; none while it runs.
    std::optional<int> wait(std::chrono::milliseconds limit)
    {
        if (!exit_code_)
            exit_code_ = test::exit_within(pid_, limit);
        return exit_code_;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> exit_code_;
};

class WindowEndToEnd : public test::WindowSession {
protected:
    // A click is given 1.5 s to have its effect before click_until clicks again.
    WindowEndToEnd() : WindowSession({50ms, 1500ms}) {}

    void SetUp() override
    {
        SKIP_UNLESS_BUILT_WITH_DEV_KEY();
        shots_ = fs::path(TORVANE_BINARY_DIR) / "e2e-shots";
        fs::create_directories(shots_);
        fs::create_directories(game_.path() / "runtime");
        fs::permissions(game_.path() / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        test::copy_test_launcher(launcher_path());
        install_url_handler();
    }

    fs::path launcher_path() const { return game_.path() / "torvane"; }

    bool start_display(test::XvfbOptions options = {})
    {
        display_ = test::XvfbDisplay::start(options);
        return display_ != nullptr;
    }

    void start_service() { WindowSession::start_service(TORVANE_E2E_PORT, test::e2e_server_certificates()); }

    // Publishes a client whose Main.exe records its folder and arguments in started.txt.
    publisher::PublishedRelease publish_recording_client()
    {
        return publish_client("#!/bin/sh\nprintf '%s|%s\\n' \"$PWD\" \"$*\" >> '" + started_file().string() + "'\n");
    }

    // The session's LANG; none: LANG unset (LC_ALL is never set).
    std::unique_ptr<RunningLauncher> start_launcher(std::vector<std::string> arguments = {"--teste"},
        std::optional<std::string> lang = "C.UTF-8")
    {
        std::vector<std::string> environment{
            "DISPLAY=" + display_->name(),
            "XDG_RUNTIME_DIR=" + (game_.path() / "runtime").string(),
            "XDG_CONFIG_HOME=" + (game_.path() / "config").string(),
            "HOME=" + game_.path().string(),
            "PATH=" + (tools_.path() / "bin").string() + ":" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"),
        };
        if (lang)
            environment.push_back("LANG=" + *lang);
        for (char** entry = environ; *entry; ++entry) {
            std::string_view text(*entry);
            if (text.starts_with("ASAN_OPTIONS=") || text.starts_with("UBSAN_OPTIONS=") || text.starts_with("LSAN_OPTIONS="))
                environment.emplace_back(text);
        }
        return std::make_unique<RunningLauncher>(launcher_path(), arguments, environment, game_.path() / "torvane.out");
    }

    std::string launcher_output() const { return platform::read_file(game_.path() / "torvane.out", platform::document_read_limit).value_or(""); }

    // Waits for the launcher's window and returns where it lies.
    std::optional<Placed> wait_for_window(float scale = 1)
    {
        return place_window(display_->wait_for_window(window_class, 20s), scale);
    }
};

constexpr float play_x = 945;
constexpr float play_y = 592;

TEST_F(WindowEndToEnd, InstallsTheClientAndPlayStartsItThenClosesAfterTheStart)
{
    ASSERT_TRUE(start_display({.window_manager = true}));
    start_service();
    auto published = publish_recording_client();
    cache_named_config("Vale Torvane", AfterStart::Close);

    auto launcher = start_launcher();
    auto placed = wait_for_window();
    ASSERT_TRUE(placed) << launcher_output();
    EXPECT_EQ(display_->window_class(window_)->second, window_class);
    EXPECT_EQ(display_->text_property(window_, "_NET_WM_NAME"), "Vale Torvane");
    EXPECT_EQ(display_->text_property(window_, "WM_NAME"), "Vale Torvane");
    auto geometry = display_->geometry(window_);
    EXPECT_EQ(geometry->width, 1100);
    EXPECT_EQ(geometry->height, 660);

    fs::path release = game_.path() / "Versions" / published.release_id;
    ASSERT_TRUE(test::wait_until([&] { return read_text(game_.path() / "active-release") == published.release_id; }, 60s))
        << launcher_output();
    screenshot("1-installed");

    // Play becomes clickable once the window has heard that the update finished.
    ASSERT_TRUE(click_until(*placed, play_x, play_y, [&] { return fs::exists(started_file()); }, 30s))
        << launcher_output();
    EXPECT_TRUE(test::wait_until([&] { return read_text(started_file()).find('\n') != std::string::npos; }));
    EXPECT_EQ(read_text(started_file()), release.string() + "|-launcher\n");
    EXPECT_TRUE(test::wait_until([&] { return display_->is_iconic(window_); }, 5s));
    screenshot("2-started");

    // Fifteen seconds after the start the launcher closes itself.
    EXPECT_EQ(launcher->wait(30s), 0) << launcher_output();
}

TEST_F(WindowEndToEnd, CentredAndTwiceTheSizeOnA192DpiServer)
{
    ASSERT_TRUE(start_display({.width = 2560, .height = 1600, .dpi = 192}));
    auto launcher = start_launcher();
    auto placed = wait_for_window(2);
    ASSERT_TRUE(placed) << launcher_output();
    auto geometry = display_->geometry(window_);
    EXPECT_EQ(geometry->width, 2200);
    EXPECT_EQ(geometry->height, 1320);
    EXPECT_EQ(geometry->x, (2560 - 2200) / 2);
    EXPECT_EQ(geometry->y, (1600 - 1320) / 2);
    EXPECT_EQ(display_->text_property(window_, "_NET_WM_NAME"), "Torvane");
    std::this_thread::sleep_for(1s);
    screenshot("scale-2");
    // The close button in the title bar.
    click(*placed, 1073, 28);
    EXPECT_EQ(launcher->wait(10s), 0) << launcher_output();
}

TEST_F(WindowEndToEnd, ALinkOpensInTheBrowserWithItsAddressAsOneArgument)
{
    ASSERT_TRUE(start_display());
    const HitRegion link = cache_config_with_link(" https://127.0.0.1/forum?a=1&b=2 ");
    ASSERT_GT(link.x1, link.x0);

    auto launcher = start_launcher();
    auto placed = wait_for_window();
    ASSERT_TRUE(placed) << launcher_output();
    std::this_thread::sleep_for(500ms);
    click(*placed, (link.x0 + link.x1) / 2, (link.y0 + link.y1) / 2);
    ASSERT_TRUE(test::wait_until([&] { return fs::exists(tools_.path() / "opened.txt"); }, 10s));
    EXPECT_TRUE(test::wait_until([&] { return read_text(tools_.path() / "opened.txt") == "https://127.0.0.1/forum?a=1&b=2\n"; }))
        << read_text(tools_.path() / "opened.txt");
    EXPECT_FALSE(launcher->wait(0ms)); // the window stays
    display_->request_close(window_);
    EXPECT_EQ(launcher->wait(10s), 0) << launcher_output();
}

TEST_F(WindowEndToEnd, WithTheServiceDownTheWindowStaysAndPlayTriesAgain)
{
    ASSERT_TRUE(start_display());
    auto launcher = start_launcher();
    auto placed = wait_for_window();
    ASSERT_TRUE(placed) << launcher_output();
    // Without a service the release list fails after its four attempts (pauses of 1, 2 and 3 s);
    // the window stays up with its error.
    std::this_thread::sleep_for(9s);
    screenshot("service-down");
    EXPECT_FALSE(launcher->wait(0ms)) << launcher_output();

    // Nothing tries again by itself once the service is back...
    start_service();
    auto published = publish_recording_client();
    std::this_thread::sleep_for(2s);
    EXPECT_FALSE(fs::exists(game_.path() / "active-release"));
    // ...but "tentar de novo": a Play click runs the update again, which now installs the client.
    ASSERT_TRUE(click_until(*placed, play_x, play_y,
        [&] { return read_text(game_.path() / "active-release") == published.release_id; }, 60s))
        << launcher_output();
    screenshot("installed-after-retry");
    display_->request_close(window_);
    EXPECT_EQ(launcher->wait(10s), 0) << launcher_output();
}

TEST_F(WindowEndToEnd, AClientWhoseSignatureFailsShowsTheErrorAndPlayStaysReady)
{
    ASSERT_TRUE(start_display({.window_manager = true})); // the box gets the keyboard focus
    start_service();
    auto published = publish_recording_client();
    auto launcher = start_launcher();
    auto placed = wait_for_window();
    ASSERT_TRUE(placed) << launcher_output();
    fs::path release = game_.path() / "Versions" / published.release_id;
    ASSERT_TRUE(test::wait_until([&] { return read_text(game_.path() / "active-release") == published.release_id; }, 60s));
    // The installed executable is changed behind the launcher's back.
    std::this_thread::sleep_for(1s);
    {
        std::ofstream tamper(release / "Main.exe", std::ios::app);
        tamper << "echo outro\n";
    }
    // The box is captioned like the window ("Torvane"): two windows of that name while it is open.
    auto named_windows = [&] { return display_->windows_titled("Torvane").size(); };
    for (int attempt = 0; attempt < 2; ++attempt) {
        // The box appears; Play was made ready again behind it.
        bool shown = click_until(*placed, play_x, play_y, [&] { return named_windows() >= 2u; }, 20s);
        screenshot("error-box-" + std::to_string(attempt));
        ASSERT_TRUE(shown) << launcher_output();
        EXPECT_TRUE(display_->xdotool({"key", "Return"}));
        ASSERT_TRUE(test::wait_until([&] { return named_windows() == 1u; }, 10s));
    }
    EXPECT_FALSE(fs::exists(started_file()));
    display_->request_close(window_);
    EXPECT_EQ(launcher->wait(10s), 0) << launcher_output();
}

// The width in pixels of the first line of text in a message box's image: the span of the
// text-coloured pixels (light on the box's dark grey) in the topmost band of rows that has any.
int first_text_line_width(const test::ScreenImage& image)
{
    auto is_text = [&](int x, int y) { return ((image.at(x, y) >> 16) & 0xFF) > 160; };
    int left = image.width;
    int right = -1;
    bool in_line = false;
    for (int y = 0; y < image.height; ++y) {
        bool any = false;
        for (int x = 0; x < image.width; ++x) {
            if (is_text(x, y)) {
                any = true;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (any)
            in_line = true;
        else if (in_line)
            break;
    }
    return right < 0 ? 0 : right - left + 1;
}

TEST_F(WindowEndToEnd, BehindAMessageBoxTheWindowGoesOnTakesNoInputAndTheBoxShowsItsWholeText)
{
    ASSERT_TRUE(start_display({.window_manager = true}));
    // The installed client is changed behind the launcher's back, so Play fails with "Não foi
    // possível abrir o jogo: ..." in a box. The session has no locale.
    start_service();
    auto published = publish_recording_client();
    auto launcher = start_launcher({"--teste"}, std::nullopt);
    auto placed = wait_for_window();
    ASSERT_TRUE(placed) << launcher_output();
    ASSERT_TRUE(test::wait_until([&] { return read_text(game_.path() / "active-release") == published.release_id; }, 60s))
        << launcher_output();
    {
        std::ofstream tamper(game_.path() / "Versions" / published.release_id / "Main.exe", std::ios::app);
        tamper << "echo outro\n";
    }
    std::vector<unsigned long> boxes;
    auto box_shown = [&] {
        boxes = display_->windows_transient_for(window_);
        return boxes.size() == 1 && display_->is_viewable(boxes[0]);
    };
    ASSERT_TRUE(click_until(*placed, play_x, play_y, box_shown, 30s)) << launcher_output();
    std::this_thread::sleep_for(300ms);
    screenshot("box");

    // The box's first line, "Não foi possível abrir o jogo:", is whole (not just its "N").
    auto box_geometry = display_->geometry(boxes[0]);
    ASSERT_TRUE(box_geometry);
    auto box_image = display_->capture(*box_geometry);
    ASSERT_TRUE(box_image);
    EXPECT_GT(first_text_line_width(*box_image), 120);

    // The main screen goes on animating behind the box.
    EXPECT_TRUE(stage_changes_within(*placed, 500ms)) << "the window stopped painting while its box is open";

    // A click on the title bar's close button behind the box is dropped, also once the box closes.
    click(*placed, 1073, 28);
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(launcher->wait(0ms)) << launcher_output();
    ASSERT_TRUE(box_shown());
    EXPECT_TRUE(display_->xdotool({"windowfocus", "--sync", std::to_string(boxes[0])}));
    EXPECT_TRUE(display_->xdotool({"key", "Return"}));
    ASSERT_TRUE(test::wait_until([&] { return display_->windows_transient_for(window_).empty(); }));
    std::this_thread::sleep_for(2s);
    EXPECT_FALSE(launcher->wait(0ms)) << "the click behind the box closed the launcher after it";
    screenshot("after-box");

    display_->request_close(window_);
    EXPECT_EQ(launcher->wait(10s), 0) << launcher_output();
}

TEST_F(WindowEndToEnd, SettingsDialogChangesTheFrameRateLimit)
{
    ASSERT_TRUE(start_display());
    const test::SettingsDialogPoints dialog = settings_dialog_points();

    auto launcher = start_launcher();
    auto placed = wait_for_window();
    ASSERT_TRUE(placed) << launcher_output();
    fs::path ini = game_.path() / "Data" / "Custom" / "config.ini";
    auto limit_is = [&](std::string_view value) {
        return read_text(ini).find("Limit=" + std::string(value)) != std::string::npos;
    };
    auto open_dialog_and_pick = [&](int row) {
        std::this_thread::sleep_for(300ms);
        click(*placed, 718, 607); // "Configurações"
        std::this_thread::sleep_for(600ms);
        click(*placed, dialog.fps_field.first, dialog.fps_field.second);
        std::this_thread::sleep_for(400ms);
        screenshot("list-" + std::to_string(row));
        click(*placed, 620, dialog.row_y(row));
        std::this_thread::sleep_for(300ms);
    };

    open_dialog_and_pick(1); // 60
    screenshot("dialog");
    click(*placed, dialog.save.first, dialog.save.second);
    ASSERT_TRUE(test::wait_until([&] { return limit_is("60"); }, 10s)) << read_text(ini);

    open_dialog_and_pick(3); // 144, then Escape
    EXPECT_TRUE(display_->xdotool({"key", "Escape"}));
    std::this_thread::sleep_for(500ms);
    click(*placed, dialog.save.first, dialog.save.second); // had Escape left the dialog open, this would save 144
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(limit_is("60")) << read_text(ini);
    open_dialog_and_pick(4); // 240, then Cancel
    click(*placed, dialog.cancel.first, dialog.cancel.second);
    std::this_thread::sleep_for(500ms);
    click(*placed, dialog.save.first, dialog.save.second);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(limit_is("60")) << read_text(ini);
    screenshot("closed");

    display_->request_close(window_);
    EXPECT_EQ(launcher->wait(10s), 0) << launcher_output();
}

// A busy machine: the launcher stops for a moment just after the click that opens the dialog, so its
// next frame comes after the whole opening animation. The dialog then shows as it does at rest,
// the same pixels as when it is drawn again after the pointer moved over a button and back.
TEST_F(WindowEndToEnd, TheSettingsDialogFinishesItsOpeningAfterAPause)
{
    ASSERT_TRUE(start_display());
    const std::pair<float, float> cancel = settings_dialog_points().cancel;
    ASSERT_GT(cancel.first, 0);

    auto launcher = start_launcher();
    auto placed = wait_for_window();
    ASSERT_TRUE(placed) << launcher_output();
    auto geometry = display_->geometry(window_);
    ASSERT_TRUE(geometry);
    auto move_to = [&](float lx, float ly) {
        auto [x, y] = placed->at(lx, ly);
        EXPECT_TRUE(display_->xdotool({"mousemove", std::to_string(x), std::to_string(y)}));
    };
    std::this_thread::sleep_for(1500ms); // the main screen's entrance is over
    // A point of the information panel, which stays the same on the main screen and darkens as
    // the dialog's backdrop fades in.
    auto panel_point = [&](const test::ScreenImage& image) { return image.at(1000, 470); };
    std::optional<test::ScreenImage> main_screen = display_->capture(*geometry);
    ASSERT_TRUE(main_screen);
    // The window once the dialog shows and the window stopped changing (the main screen always
    // animates: only a dialog at rest, or one stuck part-way, stays the same).
    auto still_capture = [&]() -> std::optional<test::ScreenImage> {
        std::optional<test::ScreenImage> previous = display_->capture(*geometry);
        for (int i = 0; i < 60 && previous; ++i) {
            std::this_thread::sleep_for(250ms);
            std::optional<test::ScreenImage> current = display_->capture(*geometry);
            if (current && current->pixels == previous->pixels && panel_point(*current) != panel_point(*main_screen))
                return current;
            previous = std::move(current);
        }
        return std::nullopt;
    };
    for (int opening = 0; opening < 3; ++opening) {
        SCOPED_TRACE(opening);
        click(*placed, 718, 607); // "Configurações"
        std::this_thread::sleep_for(50ms);
        ASSERT_EQ(::kill(launcher->pid(), SIGSTOP), 0);
        std::this_thread::sleep_for(400ms);
        ASSERT_EQ(::kill(launcher->pid(), SIGCONT), 0);
        auto kept = still_capture();
        screenshot("kept-" + std::to_string(opening));

        move_to(cancel.first, cancel.second);
        std::this_thread::sleep_for(300ms);
        move_to(718, 607);
        auto redrawn = still_capture();
        ASSERT_TRUE(kept && redrawn);
        std::size_t differing = 0;
        for (std::size_t i = 0; i < kept->pixels.size(); ++i)
            differing += kept->pixels[i] != redrawn->pixels[i];
        EXPECT_EQ(differing, 0u) << "the dialog stayed part-way through its opening";
        EXPECT_TRUE(display_->xdotool({"key", "Escape"}));
        std::this_thread::sleep_for(500ms);
    }
    display_->request_close(window_);
    EXPECT_EQ(launcher->wait(10s), 0) << launcher_output();
}

TEST_F(WindowEndToEnd, ReplacesItselfAndTheNewLauncherTakesOver)
{
    ASSERT_TRUE(start_display());
    start_service();
    publish_recording_client();
    // The published launcher: the same program with a trailing mark, which an ELF file ignores.
    std::string old_bytes = platform::read_file(launcher_path(), launcher_max_size).value();
    std::string new_bytes = old_bytes + "\nnew build\n";
    ASSERT_TRUE(platform::create_folders(service_->root() / "files"));
    ASSERT_TRUE(platform::write_file(service_->root() / "files" / "torvane-linux-x86_64", new_bytes));
    ASSERT_TRUE(platform::write_file(service_->root() / "launcher.json",
        R"({"ServerName":"Vale Torvane","LauncherLinux":{"Sha256":")" + hex_lower(sha256_bytes(new_bytes))
            + R"(","Size":)" + std::to_string(new_bytes.size()) + "}}"));

    auto old_launcher = start_launcher({});
    ASSERT_TRUE(wait_for_window()) << launcher_output();
    // The old launcher downloads its successor, starts it and closes.
    EXPECT_EQ(old_launcher->wait(60s), 0) << launcher_output();
    ASSERT_TRUE(test::wait_until([&] {
        auto windows = display_->windows_of_class(window_class);
        // The X server may hand the successor the old window's id: the old process has ended, so any
        // window of the class now is the successor's.
        return windows.size() == 1 && display_->is_viewable(windows.front());
    }, 30s)) << launcher_output();
    window_ = display_->windows_of_class(window_class).front();
    // The successor took the instance lock over and deleted the old executable.
    EXPECT_TRUE(test::wait_until([&] { return !fs::exists(launcher_path().string() + ".old"); }, 20s));
    EXPECT_TRUE(platform::read_file(launcher_path(), launcher_max_size).value() == new_bytes);
    EXPECT_EQ(::access(launcher_path().c_str(), X_OK), 0);
    std::this_thread::sleep_for(1s);
    screenshot("successor");

    // A further start only brings the running window forward.
    auto second = start_launcher({});
    EXPECT_EQ(second->wait(20s), 0);
    EXPECT_EQ(display_->windows_of_class(window_class).size(), 1u);

    display_->request_close(window_);
    EXPECT_TRUE(test::wait_until([&] { return display_->windows_of_class(window_class).empty(); }, 10s));
}

} // namespace
} // namespace torvane
