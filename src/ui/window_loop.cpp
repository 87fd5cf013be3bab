#include "ui/window_loop.hpp"

#include "core/launcher_config_cache.hpp"
#include "core/threads.hpp"
#include "game/game_settings.hpp"
#include "platform/memory.hpp"
#include "render/window_icons.hpp"
#include "ui/layout.hpp"
#include "ui/motion.hpp"
#include "ui/settings_dialog.hpp"
#include "ui/update_start.hpp"
#include "ui/window_proc.hpp"
#include "update/install_folders.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace torvane {

std::string window_title(const LauncherConfig& config) { return config.server_name.value_or("Torvane"); }

AppState build_app_state(float system_scale, const std::filesystem::path& base_dir, bool test_flag,
    std::optional<DecodedImages> images)
{
    UiState ui = images ? build_ui_state(system_scale, base_dir, std::move(*images)) : build_ui_state(system_scale, base_dir);
    LauncherConfig config = load_launcher_config(base_dir);
    auto channel = std::make_shared<UiChannel>();
    std::filesystem::path game_dir = resolve_active_release(base_dir);
    AppState app{
        .ui = std::move(ui),
        .events_tx = UiSender(channel, [] {}),
        .events_rx = channel,
        .client_ready_at = std::nullopt,
        .base_dir = base_dir,
        .game_dir = std::move(game_dir),
        .actions = {},
        .config = std::move(config),
    };
    app.managed_update = true;
    app.test_mode = test_flag;
    refresh_ui_from_config(app.ui, app.config);
    GameSettings settings = load_game_settings(app.game_dir);
    app.ui.windowed_on = settings.window_mode == 1;
    retarget_tween(app.ui.window_mode_tween, app.ui.windowed_on ? 1.0f : 0.0f, app.ui.clock);
    app.ui.texts_dirty = true;
    return app;
}

int run_window(const std::filesystem::path& base_dir, bool test_flag)
{
    // The window lives long and makes and drops large pixmaps (scale changes, the dialog).
    platform::keep_large_buffers_returnable();
    // The images decode while the display opens.
    std::optional<DecodedImages> images;
    std::jthread decoding = spawn_joined([&images, &base_dir] { images = decode_images(base_dir); });
    Result<platform::DisplayInfo> display = platform::open_display();
    if (!display) {
        std::fprintf(stderr, "torvane: %s\n", display.error().c_str());
        return 1;
    }
    float system_scale = std::max(1.0f, display->system_scale);
    decoding.join();

    // The state is built here, before the window, not on a thread beside the window's creation:
    // built that way it corrupted Torvane.exe's heap under Wine at 192 dpi. With this MinGW-w64
    // toolchain a thread_local object's destructor runs on storage already freed when its thread
    // ends, and building the state shapes text on the building thread (render/shaping.cpp keeps a
    // thread_local buffer, as update/digest.cpp does).
    WindowContext context;
    context.state.emplace(build_app_state(system_scale, base_dir, test_flag, std::move(images)));

    std::int32_t width = window_pixels(logical_width, system_scale);
    std::int32_t height = window_pixels(logical_height, system_scale);
    const platform::PixelRect& area = display->usable_bounds;
    std::int32_t centred_x = area.x + (area.w - width) / 2;
    std::int32_t centred_y = area.y + (area.h - height) / 2;

    platform::WindowOptions options;
    options.title = window_title(context.state->config);
    options.bounds = {std::max(centred_x, area.x), std::max(centred_y, area.y), width, height};
    options.icons = window_icon_set();
    options.drag_test = [&context](std::int32_t x, std::int32_t y) {
        StateBorrow app(context);
        if (!app)
            return false;
        return is_caption(app->ui, static_cast<float>(x) / app->ui.scale, static_cast<float>(y) / app->ui.scale);
    };
    // Events of the loops that run inside the window's calls (a message box's, the system's move
    // loop on Windows) and scale changes come straight to the window procedure.
    options.on_event = [&context](platform::Window& window, const platform::WindowEvent& event) {
        window_proc(context, window, event);
    };
    Result<std::unique_ptr<platform::Window>> created = platform::create_window(options);
    if (!created) {
        std::fprintf(stderr, "torvane: %s\n", created.error().c_str());
        drop_ui_state(context.state->ui);
        return 1;
    }
    platform::Window& window = **created;

    AppState& app = *context.state;
    app.events_tx = UiSender(app.events_rx, window.waker());
    float window_scale = std::max(0.5f, window.scale());
    if (std::fabs(window_scale - system_scale) > 0.001f) {
        apply_scale(app.ui, window_scale);
        window.set_bounds({centred_x, centred_y, window_pixels(logical_width, window_scale),
            window_pixels(logical_height, window_scale)});
    }

    // The first frame lands in the surface; the window shows it when it is mapped.
    present_frame(context, window);
    window.show();
    // Mapped now: the first frame, already in the surface, goes onto the window at once instead
    // of with the Expose the loop reads only after the services below have started.
    if (platform::PixelSurface surface = window.surface(); surface.pixels) {
        const platform::PixelRect whole{0, 0, surface.width, surface.height};
        window.update_rects({&whole, 1});
    }
    {
        StateBorrow borrowed(context);
        context.can_present = true;
        AppState& state = *borrowed;
        if (state.ui.intro_start > 1e8f)
            state.ui.intro_start = state.ui.clock;
        state.services.start_status_probe(state.events_tx, state.base_dir, state.stop_flag, state.managed_update);
        state.services.start_config_fetch(state.events_tx);
        start_update_check(state);
    }
    run_window_actions(context, window);
    // What the start-up decoded and scaled for the first frame and no longer needs.
    if (StateBorrow borrowed(context); borrowed)
        release_decoded_hero(borrowed->ui);
    platform::release_unused_memory();

    using clock = std::chrono::steady_clock;
    context.frame_deadline = clock::now();
    while (!context.quit) {
        // Everything queued first.
        while (!context.quit) {
            std::optional<platform::WindowEvent> event = window.wait_event(clock::time_point::min());
            if (!event)
                break;
            window_proc(context, window, *event);
        }
        if (context.quit)
            break;
        if (!wants_frame(context)) {
            std::optional<platform::WindowEvent> event = window.wait_event(std::nullopt);
            context.frame_deadline = clock::now();
            if (event)
                window_proc(context, window, *event);
            continue;
        }
        present_due_frame(context, window, clock::now());
        if (std::optional<platform::WindowEvent> event = window.wait_event(context.frame_deadline))
            window_proc(context, window, *event);
    }

    // Later sends from workers find the receiver gone and do nothing.
    app.events_rx->close_receiver();
    drop_ui_state(app.ui);
    context.state.reset();
    return 0;
}

} // namespace torvane
