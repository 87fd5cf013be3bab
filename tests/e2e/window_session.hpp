// What the window's end-to-end runs of both builds share (window_e2e_test.cpp, and
// windows/window_e2e_test.cpp with Torvane.exe under Wine): the test's game, tools and client
// folders, a private X server, nginx serving the releases the test publishes, a recording stand-in
// for the desktop's URL handler, and clicks on and pictures of the launcher's window.
#pragma once

#include "core/config_json.hpp"
#include "core/launcher_config_cache.hpp"
#include "game/game_settings.hpp"
#include "platform/files.hpp"
#include "platform/registry.hpp"
#include "release_service.hpp"
#include "support/sample_client.hpp"
#include "support/temp_dir.hpp"
#include "support/window_clicks.hpp"
#include "support/xvfb_display.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"
#include "ui/settings_dialog.hpp"
#include "ui/settings_overlay.hpp"
#include "ui/ui_state.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace torvane::test {

// Where the settings dialog's controls lie in the window, in logical points.
struct SettingsDialogPoints {
    std::pair<float, float> fps_field;
    std::pair<float, float> save;
    std::pair<float, float> cancel;
    float list_top = 0; // the frame-rate list's top, when it is open
    // The middle of a row of the open frame-rate list.
    float row_y(int row) const { return list_top + 1 + 24 * row + 12; }
};

class WindowSession : public ::testing::Test {
protected:
    // How long a click is given to settle, and to have its effect before click_until clicks again.
    explicit WindowSession(ClickPacing pacing) : pacing_(pacing) {}

    // The stand-in URL handler (xdg-open in tools/bin, which the session puts first on PATH): it
    // writes each argument it is given on a line of opened_file().
    void install_url_handler()
    {
        std::filesystem::create_directories(tools_.path() / "bin");
        auto opener = tools_.write("bin/xdg-open",
            "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + opened_file().string() + "'\n");
        std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    }
    std::filesystem::path opened_file() const { return tools_.path() / "opened.txt"; }
    // Where the published client's Main.exe records its folder and arguments.
    std::filesystem::path started_file() const { return tools_.path() / "started.txt"; }

    // nginx on the port the launcher under test talks to, with a certificate it trusts.
    void start_service(int port, TestCertificates certificates)
    {
        service_ = std::make_unique<ReleaseService>(NginxOptions {.port = port}, std::move(certificates));
        ASSERT_TRUE(service_->running()) << "nginx did not start on port " << port;
    }

    // Publishes a sample client with two asset blobs and the Main.exe given.
    publisher::PublishedRelease publish_client(const std::string& main_exe)
    {
        write_sample_client(client_.path(), {.asset_blobs = 2, .main_exe = main_exe});
        auto published = service_->publish(client_.path());
        EXPECT_TRUE(published) << published.error();
        return published.value_or(publisher::PublishedRelease {});
    }

    void write_cached_config(const LauncherConfig& config)
    {
        ASSERT_TRUE(save_launcher_config(config, launcher_json_cache_path(game_.path())));
    }

    enum class AfterStart { StayOpen, Close };
    // Caches the default configuration under the server's name given, the launcher staying open or
    // closing itself after a game start; returns what it cached.
    LauncherConfig cache_named_config(const std::string& server_name, AfterStart after = AfterStart::StayOpen)
    {
        LauncherConfig config = default_launcher_config();
        config.server_name = server_name;
        config.close_after_start = after == AfterStart::Close;
        write_cached_config(config);
        return config;
    }

    // Caches a configuration with one link, "Fórum" to the address given, and returns where its
    // button lies on the main screen, from the same layout the window uses (an empty region when
    // the screen shows none).
    HitRegion cache_config_with_link(const std::string& url)
    {
        LauncherConfig config = default_launcher_config();
        config.links = std::vector<LauncherLink> {{.text = "Fórum", .url = url}};
        write_cached_config(config);
        UiState ui = build_ui_state(1, game_.path());
        refresh_ui_from_config(ui, config);
        HitRegion link {};
        for (const HitRegion& r : ui.main_hits)
            if (r.id == hit_id::link && r.data == 0)
                link = r;
        drop_ui_state(ui);
        return link;
    }

    // Where the settings dialog's controls lie, from the same painter the window uses (which reads
    // the game's settings: from a registry store of the session's own while it draws).
    SettingsDialogPoints settings_dialog_points() const
    {
        platform::set_registry_root(tools_.path() / "registry");
        UiState ui = build_ui_state(1, game_.path());
        open_settings(ui, game_.path(), true);
        (void)render_frame(ui);
        auto centre = [&](std::int32_t id, std::int32_t data) {
            for (const HitRegion& r : ui.dialog_hits)
                if (r.id == id && r.data == data)
                    return std::pair {(r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2};
            ADD_FAILURE() << "no dialog region " << id;
            return std::pair {0.0f, 0.0f};
        };
        SettingsDialogPoints points {
            .fps_field = centre(hit_id::dialog_list_header, 2),
            .save = centre(hit_id::dialog_save, 0),
            .cancel = centre(hit_id::dialog_cancel, 0),
            .list_top = drop_down_geometry(settings_field_top(false, 2), static_cast<std::int32_t>(FPS_LIMITS.size())).top,
        };
        drop_ui_state(ui);
        platform::set_registry_root({});
        return points;
    }

    // The launcher's window, once found: kept as window_, and where it lies at the scale given.
    std::optional<PlacedWindow> place_window(std::optional<unsigned long> found, float scale)
    {
        if (!found)
            return std::nullopt;
        window_ = *found;
        auto geometry = display_->geometry(window_);
        if (!geometry)
            return std::nullopt;
        return PlacedWindow {geometry->x, geometry->y, scale};
    }

    // Whether the main screen's stage changes between two pictures of it taken the time given apart:
    // its animation goes on, whatever covers the window. Fails the test when the screen cannot be
    // read.
    bool stage_changes_within(const PlacedWindow& placed, std::chrono::milliseconds between)
    {
        auto [x, y] = placed.at(40, 80);
        const WindowGeometry stage {x, y, 260, 180};
        auto before = display_->capture(stage);
        std::this_thread::sleep_for(between);
        auto after = display_->capture(stage);
        EXPECT_TRUE(before && after) << "the screen could not be read";
        return before && after && before->pixels != after->pixels;
    }

    void click(const PlacedWindow& placed, float lx, float ly) { click_window(*display_, placed, lx, ly, pacing_); }

    bool click_until(const PlacedWindow& placed, float lx, float ly, const std::function<bool()>& condition,
        std::chrono::seconds limit)
    {
        return click_window_until(*display_, placed, lx, ly, condition, limit, pacing_);
    }

    void screenshot(const std::string& name) { save_test_screenshot(*display_, shots_, name); }

    std::string read_text(const std::filesystem::path& file) const
    {
        return platform::read_file(file, platform::document_read_limit).value_or("");
    }

    TempDir game_;
    TempDir tools_;
    TempDir client_;
    std::filesystem::path shots_;
    std::unique_ptr<XvfbDisplay> display_;
    std::unique_ptr<ReleaseService> service_;
    unsigned long window_ = 0;

private:
    ClickPacing pacing_;
};

} // namespace torvane::test
