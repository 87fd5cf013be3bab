// The reusable pieces of the screens, drawn in logical units: frosted glass behind panels, the
// progress bar, the toggle switch, the capitals label with its gold bar, the icon button of the
// title bar and dialogs, and the pixel-box copy that restores parts of the frame.
#pragma once

#include "render/canvas.hpp"
#include "render/font.hpp"
#include "render/icons.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace torvane {

// A frosted cut of a source pixmap: its top-left corner sits at pixel (x, y) of the source.
struct PanelLayer {
    std::int32_t x = 0;
    std::int32_t y = 0;
    Pixmap pixmap;
};

// The pixel box that a logical rectangle covers in a width x height pixmap at the scale:
// floor of the top-left, ceil of the bottom-right, clipped to the pixmap. Empty when nothing
// overlaps.
struct PixelBox {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
};
PixelBox pixel_box(std::uint32_t width, std::uint32_t height, float scale, float x, float y, float w, float h);

// An alpha level as a whole byte: round(min(value, 1) * 255) / 255, negative values and NaN as 0.
float byte_alpha(float value);

// The colour with its alpha replaced.
constexpr Color color_with_alpha(Color color, float alpha)
{
    color.a = alpha;
    return color;
}

// A pixel position: the value rounded to the nearest integer, halves away from zero.
std::int32_t round_to_pixel(float value);

// The warm gold gradient of bars and toggles, laid at 135 degrees over the element's rectangle.
Shader warm_gold_gradient(float x, float y, float w, float h);

// The glass under a panel: the part of the source under the rounded rectangle (logical units,
// radius and blur too), downsampled by 4, blurred with sigma blur * scale / 4, enlarged back
// bilinearly, transparent outside the rounded outline. None when the panel does not overlap the
// source. A pixmap given in `recycled` (a spent layer) is drawn into when it has the layer's size,
// instead of a new one: its old pixels are all overwritten, and fresh memory is not faulted in.
std::optional<PanelLayer> draw_frosted_panel(const Pixmap& source, float scale, float x, float y, float w, float h,
    float radius, float blur, std::optional<Pixmap> recycled = std::nullopt);

// The 4 x 4 block average of the box (left, top, width, height) of the source, each channel
// rounded as (sum + n / 2) / n over the n pixels of the block inside the box.
Pixmap downsample_by_four(const Pixmap& source, std::int32_t left, std::int32_t top, std::int32_t width,
    std::int32_t height);

// Whether a progress bar's fill carries its golden halo.
enum class BarGlow { No, Yes };

// The progress track at x 39, 572 units long, from y with height h, filled with the gold gradient
// up to the fraction (clamped to 0..1); with BarGlow::Yes a golden halo that stays inside the track.
void draw_progress_bar(Canvas& canvas, BarGlow glow, float y, float h, float fraction);

// The 38 x 21 switch with its knob at position 0 (left, off) to 1 (right, on).
void draw_toggle(Canvas& canvas, bool on, float x, float y, float knob_position);

// A section label: a short gold bar and the text in capitals with wide spacing, its line's top at
// y; the text starts 23 units right of x.
void draw_caps_label(Canvas& canvas, const Font& font, float x, float y, float size, std::string_view text);

// The text in capitals by the full Unicode case mapping (one character may become several).
std::string uppercase_text(std::string_view utf8);

// The look of an icon button: Danger is the red one of a closing button.
enum class IconButtonLook { Plain, Danger };

// A 34 x 32 button with an icon on the close cross's 10-unit grid; hover 0..1 brings in its
// background and brightens the icon.
void draw_icon_button(Canvas& canvas, const IconPath& icon, float x, float y, float hover, IconButtonLook look);

// The icon colour of draw_icon_button at the hover amount.
Color icon_button_color(float hover, IconButtonLook look);

// Copies the pixel box of the logical rectangle from the source into destination, a buffer with
// the source's size and row layout. A destination too short for a copied row ends the process.
void copy_pixmap_rect(std::span<std::uint32_t> destination, const Pixmap& source, float x, float y, float w, float h,
    float scale);

} // namespace torvane
