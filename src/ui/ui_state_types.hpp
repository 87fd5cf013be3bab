// Small value types shared by the screens, the frame renderer and the background worker.
#pragma once

#include "render/pixmap.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace torvane {

// A changed rectangle of frame_canvas in device pixels.
struct DirtyRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t w = 0;
    std::int32_t h = 0;
    friend bool operator==(const DirtyRect&, const DirtyRect&) = default;
};

// A rectangle of the screen that reacts to the pointer, in logical units; half-open, so a point
// hits when x0 <= x < x1 and y0 <= y < y1. data is the index among elements of the same kind.
struct HitRegion {
    float x0 = 0;
    float y0 = 0;
    float x1 = 0;
    float y1 = 0;
    std::int32_t id = 0;
    std::int32_t data = 0;

    bool contains(float x, float y) const { return x0 <= x && x < x1 && y0 <= y && y < y1; }
    friend bool operator==(const HitRegion&, const HitRegion&) = default;
};

// Ids of the main screen's hit regions.
namespace hit_id {
inline constexpr std::int32_t none = 0;
inline constexpr std::int32_t link = 1;
inline constexpr std::int32_t minimise = 2;
inline constexpr std::int32_t close = 3;
inline constexpr std::int32_t all_news = 4;
inline constexpr std::int32_t news = 5;
inline constexpr std::int32_t window_mode = 6;
inline constexpr std::int32_t settings = 7;
inline constexpr std::int32_t play = 8;
// The settings dialog's: outside its elements, body, close, list header, list option, switches,
// slider and buttons.
inline constexpr std::int32_t dialog_outside = 9;
inline constexpr std::int32_t dialog_body = 10;
inline constexpr std::int32_t dialog_close = 11;
inline constexpr std::int32_t dialog_list_header = 12;
inline constexpr std::int32_t dialog_list_option = 13;
inline constexpr std::int32_t dialog_sound = 14;
inline constexpr std::int32_t dialog_music = 15;
inline constexpr std::int32_t dialog_volume = 16;
inline constexpr std::int32_t dialog_cancel = 17;
inline constexpr std::int32_t dialog_save = 18;
} // namespace hit_id

// Whether an element's data tells it apart from others of its kind (links, news, list headers
// and list options are lists; other elements are one of a kind).
inline bool hover_data_matters(std::int32_t id)
{
    return id == hit_id::link || id == hit_id::news || id == hit_id::dialog_list_header
        || id == hit_id::dialog_list_option;
}

// Whether two hover targets are the same element.
inline bool same_hover_target(std::int32_t id_a, std::int32_t data_a, std::int32_t id_b, std::int32_t data_b)
{
    return id_a == id_b && (!hover_data_matters(id_a) || data_a == data_b);
}

// An eased animated value; see motion.hpp for its value and re-targeting.
struct Tween {
    float from = 0;
    float to = 0;
    float start = 0;    // clock seconds
    float duration = 0; // seconds
    friend bool operator==(const Tween&, const Tween&) = default;
};

// One frosted panel asked of the background worker, in logical units.
struct PanelRect {
    float x = 0;
    float y = 0;
    float w = 0;
    float h = 0;
    float radius = 0;
    float blur = 0;
    // Plain float equality: a NaN never equals, so such a panel is always redone.
    friend bool operator==(const PanelRect&, const PanelRect&) = default;
};

// What the frame renderer asks of the background worker: the backdrop at a clock time with the
// panels frosted over it, in drawing order.
struct RenderJob {
    float time = 0;
    std::vector<PanelRect> panels;
    // A backdrop the UI is done with, handed back so that the worker draws into memory it already
    // has instead of fresh pages every job; none when the UI has none to give.
    std::optional<Pixmap> spare = std::nullopt;
};

} // namespace torvane
