// Soft effects on premultiplied pixmaps: a Gaussian blur made of three box blurs per axis, the
// shadow under rounded shapes, the round glow sprites and the coloured halo around images.
// Every channel, alpha included, is blurred the same way.
#pragma once

#include "render/canvas.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace torvane {

// One horizontal box-blur pass over every row of 4-byte pixels: each byte becomes the rounded
// mean of the 2 * radius + 1 bytes of its channel around it, edge pixels repeating. Source and
// destination hold width * height * 4 bytes and must not overlap. Radius 0 copies.
void box_blur_pass(std::span<const std::uint8_t> source, std::span<std::uint8_t> destination, std::uint32_t width,
    std::uint32_t height, std::uint32_t radius);

// The box sizes of the three passes that approximate a Gaussian of this sigma.
std::array<int, 3> gaussian_box_sizes(float sigma);

// Blurs the pixmap in place (sigma in pixels). Below 0.3 the pixmap is left as it is.
void gaussian_blur(Pixmap& pixmap, float sigma);
// The same blur with its rows shared out among `bands` threads (1: this thread alone); the
// pixels do not depend on it. gaussian_blur picks several bands for large pixmaps.
void gaussian_blur(Pixmap& pixmap, float sigma, std::uint32_t bands);

// Draws the blurred silhouette of a rounded rectangle in the colour, exactly under the shape
// (geometry and sigma in logical units), optionally through a clip mask of the canvas size.
void draw_shadow(Canvas& canvas, Color color, float x, float y, float w, float h, float radius, float sigma,
    const Mask* clip = nullptr);

// The pixel size of the temporary pixmap that draw_shadow blurs in.
struct PixelSize {
    std::uint32_t width;
    std::uint32_t height;
};
PixelSize shadow_pixmap_size(float w, float h, float sigma, float scale);

// A glowing disc of the main screen: its sprite (none until built), the disc's diameter in
// logical units and its colour in the glow palette (0..2).
struct GlowSprite {
    std::optional<Pixmap> pixmap;
    float size = 0;
    std::uint8_t color_index = 0;
};

// The glow palette's opaque colours by index.
Color glow_palette_color(std::uint8_t index);
// The side in pixels of a glow sprite of diameter size at the scale.
std::uint32_t glow_sprite_side(float size, float scale);

// (Re)builds every sprite for the scale: the disc blurred into a soft halo with the sharp disc
// drawn again on top. A colour index above 2 is a broken invariant.
void glow_sprite(std::span<GlowSprite> sprites, float scale);

// One halo layer around an image: straight colour components in 0..1 and the blur in pixels.
struct GlowLayer {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;
    float sigma = 0;
};

// The image enlarged by pad pixels on every side with its halo layers behind it, each made from
// the silhouette of the result so far.
Pixmap draw_image_glow(const Pixmap& image, std::span<const GlowLayer> layers, std::uint32_t pad);

} // namespace torvane
