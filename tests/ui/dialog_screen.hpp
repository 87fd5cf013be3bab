// An open settings dialog over a plain frame, for the dialog's tests: its frames are drawn at
// chosen times after opening, without waiting for the clock.
#pragma once

#include "render/pixmap.hpp"
#include "support/temp_dir.hpp"
#include "ui/settings_overlay.hpp"
#include "ui/ui_state.hpp"

#include <cstdint>
#include <vector>

namespace torvane::test {

// The frame under the dialog: one opaque colour.
inline constexpr std::uint32_t plain_frame_word = pixel_word(40, 80, 120, 255);

struct DialogScreen {
    TempDir base;
    UiState ui;

    explicit DialogScreen(float scale = 1) : ui(build_ui_state(scale, base.path())) { ui.frame_canvas.fill(plain_frame_word); }
    ~DialogScreen() { drop_ui_state(ui); }
    DialogScreen(const DialogScreen&) = delete;
    DialogScreen& operator=(const DialogScreen&) = delete;

    void open(SettingsPanelModel model = capture_settings_model()) { open_settings_overlay(ui, std::move(model)); }
    // The dialog frame `since` seconds after opening.
    std::vector<DirtyRect> frame_at(float since)
    {
        ui.clock = ui.settings.opened_at + since;
        return render_settings_frame(ui);
    }
    // A frame a second after the previous one: the opening is over and the hit list is current.
    std::vector<DirtyRect> settled_frame()
    {
        ui.clock = std::max(ui.clock, ui.settings.opened_at) + 1;
        return render_settings_frame(ui);
    }
};

struct Rgb {
    int r, g, b;
};
inline Rgb rgb_at(const Pixmap& pixmap, std::uint32_t x, std::uint32_t y)
{
    const std::uint32_t word = pixmap.at(x, y);
    return {static_cast<int>(pixel_red(word)), static_cast<int>(pixel_green(word)), static_cast<int>(word & 0xFF)};
}

} // namespace torvane::test
