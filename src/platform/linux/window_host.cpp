// The SDL2 host of the launcher window on X11: a borderless SDL window whose pixels go to the
// server through x11_framebuffer, SDL's event queue turned into WindowEvents for wait_event, and
// the owned boxes of sdl_box_screen. It runs no nested loop, so it never calls the event handler.
#include "platform/window_host.hpp"

#include "platform/linux/sdl_box_screen.hpp"
#include "platform/linux/sdl_display.hpp"
#include "platform/linux/x11_framebuffer.hpp"
#include "platform/linux/x11_window.hpp"
#include "platform/owned_message_boxes.hpp"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <deque>
#include <errno.h>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace torvane::platform {

namespace {

// The waker's link to the window: pushes go to SDL only while the window lives.
struct WakeTarget {
    std::mutex mutex;
    bool alive = true;
    std::uint32_t event_type = 0;
};

class SdlWindow final : public Window {
public:
    static Result<std::unique_ptr<SdlWindow>> create(const WindowOptions& options);
    ~SdlWindow() override;

    PixelSurface surface() override;
    void update_rects(std::span<const PixelRect> rects) override;
    void show() override;
    void minimise() override;
    void destroy() override;
    bool destroyed() const override { return window_ == nullptr; }
    void set_title(std::string_view title) override;
    void set_cursor(Cursor cursor) override;
    void capture_pointer(PointerCapture capture) override;
    bool holds_capture() const override { return capture_; }
    void set_bounds(PixelRect bounds) override;
    void start_timer(std::int32_t id, std::chrono::milliseconds after) override;
    void stop_timer(std::int32_t id) override;
    void message_box(std::string_view caption, std::string_view text, MessageIcon icon) override;
    float scale() const override { return scale_; }
    std::optional<WindowEvent> wait_event(std::optional<std::chrono::steady_clock::time_point> deadline) override;
    std::function<void()> waker() override;

private:
    explicit SdlWindow(SdlVideo video) : video_(std::move(video)) {}
    static SDL_HitTestResult hit_test(SDL_Window* window, const SDL_Point* point, void* self);
    // Turns an SDL event into the window's events (none, one, rarely more) at the queue's end.
    void translate(const SDL_Event& event);
    void check_display_scale();
    std::optional<WindowEvent> take_due_timer(std::chrono::steady_clock::time_point now);
    // A box's end event arrived: the next box shows.
    void box_closed();
    // Pixels of the window's present size, their memory touched on a thread (see there).
    Result<void> make_framebuffer();
    // Waits for that touch before the pixels are drawn into, put or freed.
    void settle_surface();

    SdlVideo video_;
    SDL_Window* window_ = nullptr;
    SDL_Cursor* arrow_ = nullptr;
    SDL_Cursor* hand_ = nullptr;
    Cursor cursor_ = Cursor::Arrow;
    DragTest drag_test_;
    x11::ServerDpi server_dpi_;
    Display* x_display_ = nullptr;
    ::Window x_window_ = 0;
    float scale_ = 1;
    bool capture_ = false;
    std::map<std::int32_t, std::chrono::steady_clock::time_point> timers_;
    std::deque<WindowEvent> pending_;
    std::shared_ptr<WakeTarget> wake_ = std::make_shared<WakeTarget>();
    SdlBoxScreen box_screen_;
    OwnedMessageBoxes boxes_ {box_screen_};
    std::uint32_t box_closed_type_ = 0;
    std::unique_ptr<x11::Framebuffer> framebuffer_;
    std::jthread surface_touch_;
};

Result<std::unique_ptr<SdlWindow>> SdlWindow::create(const WindowOptions& options)
{
    SdlVideo video = TRY(SdlVideo::start());
    auto self = std::unique_ptr<SdlWindow>(new SdlWindow(std::move(video)));
    self->window_ = SDL_CreateWindow(options.title.c_str(), options.bounds.x, options.bounds.y, std::max(options.bounds.w, 1),
        std::max(options.bounds.h, 1), SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (!self->window_)
        return failure(std::string("Não foi possível criar a janela: ") + SDL_GetError());

    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(self->window_, &info) || info.subsystem != SDL_SYSWM_X11)
        return failure(std::string("Não foi possível criar a janela: ") + SDL_GetError());
    self->x_display_ = info.info.x11.display;
    self->x_window_ = info.info.x11.window;
    // SDL names the class after the executable; a second launcher looks for the launcher's own.
    x11::set_window_class(self->x_display_, self->x_window_, program_invocation_short_name, launcher_window_class);
    x11::set_legacy_title(self->x_display_, self->x_window_, options.title.c_str());
    x11::set_undecorated(self->x_display_, self->x_window_);
    x11::set_window_icons(self->x_display_, self->x_window_, options.icons);
    self->server_dpi_ = x11::server_dpi(self->x_display_);
    self->scale_ = display_scale(self->server_dpi_, SDL_GetWindowDisplayIndex(self->window_));

    // The surface's word must be the frame's 0xXXRRGGBB; other pixel formats (16-bit displays)
    // are not supported.
    if (Result<void> made = self->make_framebuffer(); !made)
        return failure("Não foi possível criar a janela: " + made.error());

    self->drag_test_ = options.drag_test;
    if (SDL_SetWindowHitTest(self->window_, &SdlWindow::hit_test, self.get()) != 0)
        return failure(std::string("Não foi possível criar a janela: ") + SDL_GetError());
    self->arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    self->hand_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
    if (self->arrow_)
        SDL_SetCursor(self->arrow_);
    std::uint32_t wake_type = SDL_RegisterEvents(2);
    if (wake_type == static_cast<std::uint32_t>(-1))
        return failure(std::string("Não foi possível criar a janela: ") + SDL_GetError());
    self->wake_->event_type = wake_type;
    self->box_closed_type_ = wake_type + 1;
    self->box_screen_.attach(self->window_, self->box_closed_type_);
    // Last, after every call that waits for the server: it reads the segment while the first
    // frame is drawn.
    self->framebuffer_->warm_up();
    return self;
}

Result<void> SdlWindow::make_framebuffer()
{
    settle_surface();
    framebuffer_.reset();
    int width = 1, height = 1;
    SDL_GetWindowSize(window_, &width, &height);
    framebuffer_ = TRY(x11::Framebuffer::create(x_display_, x_window_, width, height));
    // The pixels are new memory on both sides of the connection, which the first frame would
    // fault in page by page: a thread touches them here while that frame is drawn (the server
    // its side when warm_up is called). The window is not shown or has the old frame's size, and
    // the memory is zero already, so writing zeros changes nothing on the screen.
    auto* pixels = reinterpret_cast<std::uint8_t*>(framebuffer_->pixels());
    const std::size_t bytes = static_cast<std::size_t>(framebuffer_->pitch()) * static_cast<std::size_t>(framebuffer_->height());
    surface_touch_ = std::jthread([pixels, bytes] { std::memset(pixels, 0, bytes); });
    return {};
}

void SdlWindow::settle_surface()
{
    if (surface_touch_.joinable())
        surface_touch_.join();
}

SdlWindow::~SdlWindow()
{
    destroy();
    if (arrow_)
        SDL_FreeCursor(arrow_);
    if (hand_)
        SDL_FreeCursor(hand_);
}

SDL_HitTestResult SdlWindow::hit_test(SDL_Window*, const SDL_Point* point, void* self)
{
    const SdlWindow& window = *static_cast<SdlWindow*>(self);
    // The window under its box cannot be dragged, as it takes no pointer input.
    if (window.boxes_.box_open())
        return SDL_HITTEST_NORMAL;
    const DragTest& test = window.drag_test_;
    return test && test(point->x, point->y) ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

PixelSurface SdlWindow::surface()
{
    settle_surface();
    if (!window_ || !framebuffer_)
        return {};
    // A window of another size (its scale changed) gets pixels of that size, as SDL's surface does.
    int width = 1, height = 1;
    SDL_GetWindowSize(window_, &width, &height);
    if (width != framebuffer_->width() || height != framebuffer_->height()) {
        if (!make_framebuffer())
            return {};
        framebuffer_->warm_up();
    }
    settle_surface();
    return {framebuffer_->pixels(), framebuffer_->width(), framebuffer_->height(), framebuffer_->pitch()};
}

void SdlWindow::update_rects(std::span<const PixelRect> rects)
{
    settle_surface();
    if (!window_ || !framebuffer_ || rects.empty())
        return;
    std::vector<PixelRect> clipped;
    clipped.reserve(rects.size());
    for (const PixelRect& rect : rects) {
        std::int64_t x0 = std::clamp<std::int64_t>(rect.x, 0, framebuffer_->width());
        std::int64_t y0 = std::clamp<std::int64_t>(rect.y, 0, framebuffer_->height());
        std::int64_t x1 = std::clamp<std::int64_t>(std::int64_t(rect.x) + rect.w, 0, framebuffer_->width());
        std::int64_t y1 = std::clamp<std::int64_t>(std::int64_t(rect.y) + rect.h, 0, framebuffer_->height());
        if (x0 < x1 && y0 < y1)
            clipped.push_back({int(x0), int(y0), int(x1 - x0), int(y1 - y0)});
    }
    if (!clipped.empty())
        framebuffer_->put(clipped);
}

void SdlWindow::show()
{
    if (!window_)
        return;
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    // Without a window manager nobody hands out the focus; asking the server directly gives it.
    SDL_SetWindowInputFocus(window_);
}

void SdlWindow::minimise()
{
    if (window_)
        SDL_MinimizeWindow(window_);
}

void SdlWindow::destroy()
{
    settle_surface();
    {
        std::lock_guard lock(wake_->mutex);
        wake_->alive = false;
    }
    if (!window_)
        return;
    // The box goes with its owner, before the owner: SDL's box thread raises the window it came
    // from once the box is closed.
    boxes_.close_all();
    if (capture_)
        SDL_CaptureMouse(SDL_FALSE);
    capture_ = false;
    framebuffer_.reset();
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    timers_.clear();
    pending_.clear();
}

void SdlWindow::set_title(std::string_view title)
{
    if (!window_)
        return;
    std::string text(title);
    SDL_SetWindowTitle(window_, text.c_str());
    x11::set_legacy_title(x_display_, x_window_, text.c_str());
}

void SdlWindow::set_cursor(Cursor cursor)
{
    if (cursor == cursor_)
        return;
    cursor_ = cursor;
    if (SDL_Cursor* chosen = cursor == Cursor::Hand ? hand_ : arrow_)
        SDL_SetCursor(chosen);
}

void SdlWindow::capture_pointer(PointerCapture capture)
{
    bool on = capture == PointerCapture::Hold;
    if (!window_ || on == capture_)
        return;
    capture_ = SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE) == 0 ? on : false;
}

void SdlWindow::set_bounds(PixelRect bounds)
{
    if (!window_)
        return;
    SDL_SetWindowSize(window_, std::max(bounds.w, 1), std::max(bounds.h, 1));
    SDL_SetWindowPosition(window_, bounds.x, bounds.y);
}

void SdlWindow::start_timer(std::int32_t id, std::chrono::milliseconds after)
{
    if (window_)
        timers_[id] = std::chrono::steady_clock::now() + after;
}

void SdlWindow::stop_timer(std::int32_t id) { timers_.erase(id); }

void SdlWindow::message_box(std::string_view caption, std::string_view text, MessageIcon icon)
{
    if (!window_) {
        show_orphan_message_box(caption, text, icon);
        return;
    }
    boxes_.ask({std::string(caption), std::string(text), icon});
}

void SdlWindow::box_closed()
{
    std::optional<BoxEnd> end = box_screen_.take_end();
    if (!end)
        return;
    // SDL's box let go of a pointer capture the window held when it opened.
    if (capture_ && window_) {
        SDL_CaptureMouse(SDL_FALSE);
        capture_ = false;
    }
    boxes_.box_ended(*end);
}

void SdlWindow::check_display_scale()
{
    float scale = display_scale(server_dpi_, SDL_GetWindowDisplayIndex(window_));
    if (std::fabs(scale - scale_) <= 0.001f)
        return;
    scale_ = scale;
    int left = 0;
    int top = 0;
    SDL_GetWindowPosition(window_, &left, &top);
    pending_.push_back(window_event::ScaleChanged {scale, left, top});
}

void SdlWindow::translate(const SDL_Event& event)
{
    using namespace window_event;
    // While its box is open the window takes no pointer or key input; what arrives meanwhile is
    // dropped, never delivered after the box has closed.
    if (boxes_.box_open()) {
        switch (event.type) {
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEWHEEL:
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return;
        default:
            break;
        }
    }
    if (event.type == box_closed_type_) {
        box_closed();
        return;
    }
    switch (event.type) {
    case SDL_MOUSEMOTION:
        pending_.push_back(PointerMoved {event.motion.x, event.motion.y});
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT)
            pending_.push_back(ButtonPressed {event.button.x, event.button.y});
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT)
            pending_.push_back(ButtonReleased {event.button.x, event.button.y});
        break;
    case SDL_MOUSEWHEEL: {
        std::int32_t delta = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        if (delta != 0)
            pending_.push_back(Wheel {delta});
        break;
    }
    case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE)
            pending_.push_back(EscapePressed {});
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_LEAVE:
            if (!capture_)
                pending_.push_back(PointerLeft {});
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            pending_.push_back(Minimised {});
            break;
        case SDL_WINDOWEVENT_RESTORED:
            pending_.push_back(Restored {});
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            pending_.push_back(Exposed {});
            break;
        case SDL_WINDOWEVENT_CLOSE:
            pending_.push_back(CloseRequested {});
            break;
        case SDL_WINDOWEVENT_MOVED:
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            check_display_scale();
            break;
        default:
            break;
        }
        break;
    default:
        if (event.type == wake_->event_type) {
            // One wake-up covers every message sent so far: the UI drains the whole channel.
            SDL_FlushEvent(wake_->event_type);
            pending_.push_back(WorkersWoke {});
        }
        break;
    }
}

std::optional<WindowEvent> SdlWindow::take_due_timer(std::chrono::steady_clock::time_point now)
{
    auto due = std::min_element(timers_.begin(), timers_.end(),
        [](const auto& a, const auto& b) { return a.second < b.second; });
    if (due == timers_.end() || due->second > now)
        return std::nullopt;
    std::int32_t id = due->first;
    timers_.erase(due);
    return window_event::TimerFired {id};
}

std::optional<WindowEvent> SdlWindow::wait_event(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    using std::chrono::steady_clock;
    if (!window_)
        return std::nullopt;
    while (true) {
        if (!pending_.empty()) {
            WindowEvent next = pending_.front();
            pending_.pop_front();
            return next;
        }
        SDL_Event event;
        if (SDL_PollEvent(&event)) {
            translate(event);
            continue;
        }
        steady_clock::time_point now = steady_clock::now();
        if (auto fired = take_due_timer(now))
            return fired;
        std::optional<steady_clock::time_point> wake_at = deadline;
        for (const auto& [id, at] : timers_)
            if (!wake_at || at < *wake_at)
                wake_at = at;
        if (deadline && now >= *deadline)
            return std::nullopt;
        int got;
        if (wake_at) {
            // Whole milliseconds, rounded up, so the wait never ends before the time it waits for.
            auto remaining = std::chrono::ceil<std::chrono::milliseconds>(*wake_at - now).count();
            got = SDL_WaitEventTimeout(&event, static_cast<int>(std::clamp<long long>(remaining, 1, INT_MAX)));
        } else {
            got = SDL_WaitEvent(&event);
        }
        if (got)
            translate(event);
    }
}

std::function<void()> SdlWindow::waker()
{
    return [target = wake_]() {
        std::lock_guard lock(target->mutex);
        if (!target->alive)
            return;
        SDL_Event event {};
        event.type = target->event_type;
        SDL_PushEvent(&event);
    };
}

} // namespace

Result<std::unique_ptr<Window>> create_window(const WindowOptions& options)
{
    auto created = SdlWindow::create(options);
    video_held_for_window().reset();
    if (!created)
        return failure(std::move(created).error());
    return std::unique_ptr<Window>(std::move(*created));
}

} // namespace torvane::platform
