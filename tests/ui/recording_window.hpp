// A window that records what the UI asks of it, for driving the window procedure without a display.
#pragma once

#include "platform/window_host.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace torvane::test {

class RecordingWindow final : public platform::Window {
public:
    RecordingWindow(std::int32_t width, std::int32_t height) : width_(width), height_(height), pixels_(std::size_t(width) * height) {}

    std::vector<std::string> calls;
    std::vector<platform::PixelRect> updated;
    // Runs inside message_box, as the box's own loop would run the window procedure.
    std::function<void()> during_message_box;
    int boxes_open = 0;
    int deepest_boxes = 0; // the most boxes open at once
    bool capture = false;

    platform::PixelSurface surface() override { return {pixels_.data(), width_, height_, width_ * 4}; }
    void update_rects(std::span<const platform::PixelRect> rects) override
    {
        updated.insert(updated.end(), rects.begin(), rects.end());
    }
    void show() override { calls.push_back("show"); }
    void minimise() override { calls.push_back("minimise"); }
    void destroy() override
    {
        calls.push_back("destroy");
        destroyed_ = true;
    }
    bool destroyed() const override { return destroyed_; }
    void set_title(std::string_view title) override { calls.push_back("title " + std::string(title)); }
    void set_cursor(platform::Cursor cursor) override
    {
        calls.push_back(cursor == platform::Cursor::Hand ? "cursor hand" : "cursor arrow");
    }
    void capture_pointer(platform::PointerCapture held) override { capture = held == platform::PointerCapture::Hold; }
    bool holds_capture() const override { return capture; }
    void set_bounds(platform::PixelRect bounds) override
    {
        calls.push_back("bounds " + std::to_string(bounds.x) + "," + std::to_string(bounds.y) + " "
            + std::to_string(bounds.w) + "x" + std::to_string(bounds.h));
    }
    void start_timer(std::int32_t id, std::chrono::milliseconds after) override
    {
        calls.push_back("timer " + std::to_string(id) + " " + std::to_string(after.count()));
    }
    void stop_timer(std::int32_t id) override { calls.push_back("stop timer " + std::to_string(id)); }
    void message_box(std::string_view caption, std::string_view text, platform::MessageIcon icon) override
    {
        static constexpr const char* icons[] = {" | information", " | warning", " | error"};
        calls.push_back("box " + std::string(caption) + " | " + std::string(text) + icons[static_cast<int>(icon)]);
        ++boxes_open;
        deepest_boxes = std::max(deepest_boxes, boxes_open);
        if (during_message_box) {
            auto hook = std::move(during_message_box);
            during_message_box = nullptr;
            hook();
        }
        --boxes_open;
    }
    float scale() const override { return 1; }
    std::optional<platform::WindowEvent> wait_event(std::optional<std::chrono::steady_clock::time_point>) override
    {
        if (events.empty())
            return std::nullopt;
        platform::WindowEvent event = events.front();
        events.pop_front();
        return event;
    }
    std::function<void()> waker() override { return [] {}; }

    std::deque<platform::WindowEvent> events;
    std::uint32_t pixel(std::int32_t x, std::int32_t y) const { return pixels_[std::size_t(y) * width_ + x]; }

private:
    std::int32_t width_;
    std::int32_t height_;
    std::vector<std::uint32_t> pixels_;
    bool destroyed_ = false;
};

} // namespace torvane::test
