#include "ui/window_proc.hpp"

#include "core/config_json.hpp"
#include "core/game_client_files.hpp"
#include "core/launcher_config_cache.hpp"
#include "core/overloaded.hpp"
#include "core/util.hpp"
#include "game/game_settings.hpp"
#include "platform/instance_lock.hpp"
#include "platform/unicode.hpp"
#include "render/compositing.hpp"
#include "ui/game_start.hpp"
#include "ui/layout.hpp"
#include "ui/main_actions.hpp"
#include "ui/motion.hpp"
#include "ui/settings_dialog.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>
#include <utility>

namespace torvane {

namespace {

namespace ev = platform::window_event;

// The title band of the main screen, where the window can be dragged.
constexpr float title_band_bottom = 58;
constexpr float title_buttons_right = 1090;

bool dialog_open(const UiState& ui) { return ui.screen_mode != screen_main; }

void set_windowed_switch(UiState& ui, bool on)
{
    ui.windowed_on = on;
    retarget_tween(ui.window_mode_tween, on ? 1.0f : 0.0f, ui.clock);
}

void on_finished(AppState& app, Result<bool> outcome)
{
    UiState& ui = app.ui;
    app.update_running = false;
    if (outcome) {
        set_status(ui, {.thin_bar_percent = 100, .main_bar_percent = 100, .rate = ""});
        if (*outcome) {
            ui.status_label = "Launcher atualizado. Reiniciando...";
            queue_window_action(app, window_action::RestartLauncher{});
        } else {
            set_status(ui, {.label = app.managed_update ? "Cliente pronto para jogar." : "Cliente atualizado.", .detail = "-"});
            app.client_ready_at = app.services.now();
            app.update_done = true;
            ui.play_enabled = true;
            ui.play_label = "cliente pronto";
        }
        ui.texts_dirty = true;
    } else if (outcome.error() != cancelled_text) {
        std::error_code missing;
        (void)std::filesystem::symlink_status(app.game_dir / game_client::executable, missing);
        if (app.managed_update && missing == std::errc::no_such_file_or_directory) {
            ui.status_label = "Não foi possível baixar o jogo: " + outcome.error();
            ui.play_label = "tentar de novo";
        } else {
            ui.status_label = "Não foi possível atualizar: " + outcome.error();
            ui.play_label = "sem atualizar";
        }
        ui.rate_line.clear();
        ui.texts_dirty = true;
        app.update_done = true;
        ui.play_enabled = true;
    }
    if (app.play_pending) {
        app.play_pending = false;
        if (app.update_done)
            launch_game(app);
    }
}

void on_config_loaded(AppState& app, platform::Window& window, const LauncherConfig& loaded)
{
    LauncherConfig& held = app.config;
    bool changed = false;
    if (loaded.news && !loaded.news->empty()) {
        held.news = loaded.news;
        changed = true;
    }
    if (loaded.links && !loaded.links->empty()) {
        held.links = loaded.links;
        changed = true;
    }
    if (loaded.info && !loaded.info->empty()) {
        held.info = loaded.info;
        changed = true;
    }
    if (loaded.abertura) {
        held.abertura = loaded.abertura;
        changed = true;
    }
    if (loaded.server_name && !platform::trim_unicode_white_space(*loaded.server_name).empty()
        && held.server_name != loaded.server_name) {
        held.server_name = loaded.server_name;
        window.set_title(*loaded.server_name);
        changed = true;
    }
    if (!changed)
        return;
    refresh_ui_from_config(app.ui, held);
    // The cache is a convenience: a failed write leaves the previous one.
    (void)save_launcher_config(held, launcher_json_cache_path(app.base_dir));
}

void on_client_ready(AppState& app, std::filesystem::path folder)
{
    app.game_dir = std::move(folder);
    GameSettings settings = load_game_settings(app.game_dir);
    set_windowed_switch(app.ui, settings.window_mode == 1);
    app.ui.texts_dirty = true;
}

void on_close_timer(AppState& app, platform::Window& window)
{
    window.stop_timer(close_timer_id);
    if (app.config.close_after_start) {
        queue_window_action(app, window_action::Close{});
        return;
    }
    app.update_done = true;
    app.ui.play_enabled = true;
    app.ui.play_label = "abrir outra conta";
    app.ui.texts_dirty = true;
}

void on_press(WindowContext& context, platform::Window& window, std::int32_t px, std::int32_t py)
{
    window.capture_pointer(platform::PointerCapture::Hold);
    StateBorrow app(context);
    if (!app)
        return;
    UiState& ui = app->ui;
    float x = static_cast<float>(px) / ui.scale;
    float y = static_cast<float>(py) / ui.scale;
    context.pressed = dialog_open(ui) ? settings_press(ui, x, y) : main_hit_test(ui, x, y);
}

void on_release(WindowContext& context, platform::Window& window, std::int32_t px, std::int32_t py)
{
    HitRegion pressed = std::exchange(context.pressed, HitRegion{});
    {
        StateBorrow app(context);
        if (app) {
            UiState& ui = app->ui;
            float x = static_cast<float>(px) / ui.scale;
            float y = static_cast<float>(py) / ui.scale;
            std::optional<UiAction> action;
            if (dialog_open(ui)) {
                action = settings_release(ui, pressed, x, y);
            } else {
                HitRegion released = main_hit_test(ui, x, y);
                if (released.id == pressed.id)
                    action = main_release_action(*app, pressed, released);
            }
            if (action)
                handle_action(*app, std::move(*action));
        }
    }
    window.capture_pointer(platform::PointerCapture::Release);
}

void on_scale_changed(WindowContext& context, platform::Window& window, const ev::ScaleChanged& change)
{
    float scale = std::max(0.5f, change.scale);
    std::int32_t width = window_pixels(logical_width, scale);
    std::int32_t height = window_pixels(logical_height, scale);
    {
        StateBorrow app(context);
        if (app) {
            apply_scale(app->ui, scale);
            app->ui.redraw_all = true;
        }
    }
    window.set_bounds({change.left, change.top, width, height});
}

void drain_worker_events(WindowContext& context, platform::Window& window)
{
    StateBorrow app(context);
    if (!app)
        return;
    while (std::optional<UiMessage> message = app->events_rx->try_receive())
        handle_worker_message(*app, window, std::move(*message));
}

} // namespace

std::int32_t window_pixels(float units, float scale)
{
    double value = std::ceil(double{units} * scale);
    if (std::isnan(value))
        return 0;
    return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

StateBorrow::StateBorrow(WindowContext& context) : context_(context)
{
    if (context.borrowed || !context.state)
        return;
    context.borrowed = true;
    state_ = &*context.state;
}

StateBorrow::~StateBorrow()
{
    if (state_)
        context_.borrowed = false;
}

HitRegion main_hit_test(const UiState& ui, float x, float y)
{
    for (const HitRegion& region : ui.main_hits)
        if (region.contains(x, y))
            return region;
    return HitRegion{};
}

bool is_caption(const UiState& ui, float x, float y)
{
    if (dialog_open(ui))
        return false;
    if (!(y >= 0 && y < title_band_bottom && x >= 0 && x < logical_width))
        return false;
    bool button_row = y >= title_button_top && y < title_button_bottom;
    bool over_links = x >= ui.layout.links_left && x < ui.layout.links_right;
    bool over_badge_and_buttons = x >= ui.layout.badge_x && x < title_buttons_right;
    return !(button_row && (over_links || over_badge_and_buttons));
}

platform::Cursor cursor_for(const UiState& ui)
{
    using platform::Cursor;
    switch (ui.hover_id) {
    case hit_id::link: {
        bool clickable = ui.hover_data >= 0 && static_cast<std::size_t>(ui.hover_data) < ui.links.size()
            && ui.links[static_cast<std::size_t>(ui.hover_data)].clickable;
        return clickable ? Cursor::Hand : Cursor::Arrow;
    }
    case hit_id::minimise:
    case hit_id::close:
    case hit_id::all_news:
    case hit_id::news:
    case hit_id::window_mode:
    case hit_id::settings:
        return Cursor::Hand;
    case hit_id::play:
        return ui.play_enabled ? Cursor::Hand : Cursor::Arrow;
    case hit_id::dialog_close:
    case hit_id::dialog_list_header:
    case hit_id::dialog_list_option:
    case hit_id::dialog_sound:
    case hit_id::dialog_music:
    case hit_id::dialog_volume:
    case hit_id::dialog_cancel:
        return Cursor::Hand;
    case hit_id::dialog_save:
        return dialog_open(ui) && ui.settings.saving ? Cursor::Arrow : Cursor::Hand;
    default:
        return Cursor::Arrow;
    }
}

std::optional<UiAction> main_release_action(AppState& app, const HitRegion& pressed, const HitRegion& released)
{
    UiState& ui = app.ui;
    switch (released.id) {
    case hit_id::link: {
        if (released.data != pressed.data || released.data < 0 || static_cast<std::size_t>(released.data) >= ui.links.size())
            return std::nullopt;
        const LinkEntry& link = ui.links[static_cast<std::size_t>(released.data)];
        if (!link.clickable)
            return std::nullopt;
        if (link.opens_settings)
            return ui_action::OpenSettings{};
        return ui_action::OpenLink{link.url};
    }
    case hit_id::minimise:
        return ui_action::Minimize{};
    case hit_id::close:
        return ui_action::Close{};
    case hit_id::all_news:
        return ui_action::OpenLink{all_news_url()};
    case hit_id::news: {
        if (released.data != pressed.data || released.data < 0 || static_cast<std::size_t>(released.data) >= ui.news.size())
            return std::nullopt;
        const std::string& url = ui.news[static_cast<std::size_t>(released.data)].url;
        if (url.empty())
            return std::nullopt;
        return ui_action::OpenLink{url};
    }
    case hit_id::window_mode: {
        bool on = !ui.windowed_on;
        set_windowed_switch(ui, on);
        ui.texts_dirty = true;
        return ui_action::SetWindowed{on};
    }
    case hit_id::settings:
        return ui_action::OpenSettings{};
    case hit_id::play:
        if (ui.play_enabled)
            return ui_action::Play{};
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void handle_worker_message(AppState& app, platform::Window& window, UiMessage message)
{
    UiState& ui = app.ui;
    std::visit(Overloaded{
                   [&](ui_message::ServerStatus& status) {
                       if (status.online) {
                           if (!ui.server_online)
                               ui.online_since = ui.clock;
                           ui.server_online = true;
                           ui.status_text = "ONLINE";
                       } else {
                           ui.server_online = false;
                           ui.status_text = "OFFLINE";
                       }
                       ui.server_known = true;
                       rebuild_ui_model(ui);
                   },
                   [&](ui_message::Progress& progress) {
                       const ProgressReport& report = progress.report;
                       set_status(ui, {.label = report.text,
                                         .thin_bar_percent = static_cast<float>(report.sub_progress * 100),
                                         .main_bar_percent = static_cast<float>(report.progress * 100),
                                         .detail = report.detail.empty() ? "-" : report.detail,
                                         .rate = format_speed(report.bytes_per_second)});
                   },
                   [&](ui_message::Finished& finished) { on_finished(app, std::move(finished.outcome)); },
                   [&](ui_message::ConfigLoaded& loaded) {
                       if (loaded.config)
                           on_config_loaded(app, window, *loaded.config);
                   },
                   [&](ui_message::ClientReady& ready) { on_client_ready(app, std::move(ready.game_folder)); },
               },
        message);
}

void window_proc(WindowContext& context, platform::Window& window, const platform::WindowEvent& event)
{
    std::visit(Overloaded{
                   [&](const ev::PointerMoved& move) {
                       StateBorrow app(context);
                       if (!app)
                           return;
                       context.mouse_tracking = true;
                       UiState& ui = app->ui;
                       on_mouse_move(ui, static_cast<float>(move.x) / ui.scale, static_cast<float>(move.y) / ui.scale);
                       window.set_cursor(cursor_for(ui));
                   },
                   [&](const ev::ButtonPressed& press) { on_press(context, window, press.x, press.y); },
                   [&](const ev::ButtonReleased& release) { on_release(context, window, release.x, release.y); },
                   [&](const ev::Wheel& wheel) {
                       StateBorrow app(context);
                       if (app && app->ui.screen_mode == screen_settings_list)
                           settings_wheel(app->ui, wheel.delta);
                   },
                   [&](const ev::EscapePressed&) {
                       StateBorrow app(context);
                       if (app && dialog_open(app->ui))
                           settings_escape(app->ui);
                   },
                   [&](const ev::PointerLeft&) {
                       context.mouse_tracking = false;
                       if (window.holds_capture())
                           return;
                       StateBorrow app(context);
                       if (!app)
                           return;
                       UiState& ui = app->ui;
                       ui.pointer_x = -1;
                       ui.pointer_y = -1;
                       ui.hover_id = hit_id::none;
                       ui.hover_data = 0;
                       if (dialog_open(ui))
                           mark_settings_dirty(ui);
                   },
                   [&](const ev::Minimised&) {
                       context.minimised = true;
                       StateBorrow app(context);
                       if (app && !app->ui.minimised) {
                           app->ui.minimised = true;
                           app->ui.redraw_all = true;
                       }
                   },
                   [&](const ev::Restored&) {
                       context.minimised = false;
                       StateBorrow app(context);
                       if (app && app->ui.minimised) {
                           app->ui.minimised = false;
                           app->ui.redraw_all = true;
                       }
                   },
                   [&](const ev::ScaleChanged& change) { on_scale_changed(context, window, change); },
                   [&](const ev::Exposed&) {
                       platform::PixelSurface surface = window.surface();
                       if (context.state && surface.pixels) {
                           platform::PixelRect whole{0, 0, surface.width, surface.height};
                           window.update_rects({&whole, 1});
                       }
                   },
                   [&](const ev::CloseRequested&) { destroy_window(context, window); },
                   [&](const ev::TimerFired& timer) {
                       if (timer.id != close_timer_id)
                           return;
                       StateBorrow app(context);
                       if (app)
                           on_close_timer(*app, window);
                   },
                   [&](const ev::WorkersWoke&) { drain_worker_events(context, window); },
                   [&](const ev::FrameDue&) { present_due_frame(context, window, std::chrono::steady_clock::now()); },
               },
        event);
    run_window_actions(context, window);
}

void destroy_window(WindowContext& context, platform::Window& window)
{
    window.destroy();
    {
        StateBorrow app(context);
        if (app)
            app->stop_flag->store(true);
    }
    context.quit = true;
}

void run_window_actions(WindowContext& context, platform::Window& window)
{
    if (context.running_actions)
        return;
    context.running_actions = true;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{context.running_actions};
    while (!window.destroyed()) {
        std::vector<WindowAction> actions;
        {
            StateBorrow app(context);
            if (!app)
                return;
            actions = std::exchange(app->actions, {});
        }
        if (actions.empty())
            return;
        for (WindowAction& action : actions) {
            bool stop = std::visit(
                Overloaded{
                    [&](window_action::Minimize&) {
                        window.minimise();
                        return false;
                    },
                    [&](window_action::Close&) {
                        destroy_window(context, window);
                        return true;
                    },
                    [&](window_action::MessageBox& box) {
                        std::string caption = "Torvane";
                        {
                            StateBorrow app(context);
                            if (app) {
                                caption = app->config.server_name.value_or("Torvane");
                                // The box may be a process forked from this one: it starts while
                                // the backdrop worker stands still, holding none of its locks.
                                settle_background_worker(app->ui);
                            }
                        }
                        // The window goes on under its box (frames, timers, worker events) and takes
                        // no input meanwhile; the state is not lent during the call, whose modal loop
                        // (Windows) brings the events to window_proc.
                        window.message_box(caption, box.text, box.icon);
                        return false;
                    },
                    [&](window_action::RestartLauncher&) {
                        AppServices services;
                        {
                            StateBorrow app(context);
                            services = app ? app->services : default_app_services();
                        }
                        // The successor takes the instance lock over, so it goes first.
                        platform::release_instance_mutex();
                        platform::ProgramLaunch launch;
                        launch.program = services.running_executable();
                        (void)services.start_process(launch);
                        destroy_window(context, window);
                        return true;
                    },
                    [&](window_action::ArmCloseTimer&) {
                        window.start_timer(close_timer_id, close_timer_delay);
                        return false;
                    },
                },
                action);
            // A close asked for inside a box's loop (the taskbar's close) took the window away.
            if (stop || window.destroyed())
                return;
        }
    }
}

std::vector<platform::PixelRect> copy_frame_rects(const Pixmap& frame, const platform::PixelSurface& surface,
    std::span<const DirtyRect> rects)
{
    std::vector<platform::PixelRect> copied;
    if (!surface.pixels)
        return copied;
    std::int32_t copy_width = std::min<std::int64_t>(surface.width, frame.width());
    std::int32_t copy_height = std::min<std::int64_t>(surface.height, frame.height());
    for (const DirtyRect& rect : rects) {
        std::int64_t x0 = std::clamp<std::int64_t>(rect.x, 0, copy_width);
        std::int64_t x1 = std::clamp<std::int64_t>(std::int64_t{rect.x} + rect.w, 0, copy_width);
        std::int64_t y0 = std::clamp<std::int64_t>(rect.y, 0, copy_height);
        std::int64_t y1 = std::clamp<std::int64_t>(std::int64_t{rect.y} + rect.h, 0, copy_height);
        if (x0 >= x1 || y0 >= y1)
            continue;
        for (std::int64_t y = y0; y < y1; ++y) {
            const std::uint32_t* source = frame.row(static_cast<std::uint32_t>(y));
            auto* target = reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(surface.pixels) + y * surface.pitch);
            opaque_copy_row(target + x0, source + x0, static_cast<std::size_t>(x1 - x0));
        }
        copied.push_back({static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0), static_cast<std::int32_t>(x1 - x0),
            static_cast<std::int32_t>(y1 - y0)});
    }
    return copied;
}

std::chrono::steady_clock::time_point next_frame_deadline(std::chrono::steady_clock::time_point deadline,
    std::chrono::steady_clock::time_point now)
{
    deadline += frame_period;
    if (deadline < now)
        deadline = now + frame_period;
    return deadline;
}

bool wants_frame(WindowContext& context)
{
    if (context.minimised)
        return false;
    StateBorrow app(context);
    if (!app || app->ui.minimised)
        return false;
    if (app->ui.screen_mode == screen_main)
        return true;
    return settings_dialog_animating(app->ui);
}

void present_due_frame(WindowContext& context, platform::Window& window, std::chrono::steady_clock::time_point now)
{
    if (!wants_frame(context)) {
        context.frame_deadline = now;
        return;
    }
    if (now < context.frame_deadline)
        return;
    present_frame(context, window);
    context.frame_deadline = next_frame_deadline(context.frame_deadline, now);
}

void present_frame(WindowContext& context, platform::Window& window)
{
    if (context.minimised)
        return;
    StateBorrow app(context);
    if (!app)
        return;
    std::vector<DirtyRect> rects = render_frame(app->ui);
    if (rects.empty())
        return;
    std::vector<platform::PixelRect> copied = copy_frame_rects(app->ui.frame_canvas, window.surface(), rects);
    if (context.can_present && !copied.empty())
        window.update_rects(copied);
}

} // namespace torvane
