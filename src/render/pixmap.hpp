// Pixmap: a premultiplied 32-bit image, the surface every drawing operation of the render layer
// targets.
//
// Pixel format: one native 32-bit word per pixel, alpha in the top byte, then red, green, blue
// (0xAARRGGBB; in memory on little-endian: B, G, R, A). Colour channels are premultiplied by
// alpha. Rows run top to bottom with no gap between them: the stride is always width * 4 bytes,
// so pixel (x, y) is word y * width + x. Compositors may treat a word as two channel pairs
// through the masks 0x00FF00FF (blue and red) and 0xFF00FF00 (green and alpha, shifted by 8).
//
// The memory is shared with a cairo image surface (CAIRO_FORMAT_ARGB32), so cairo drawing and
// direct pixel access see the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

typedef struct _cairo_surface cairo_surface_t;

namespace torvane {

class Pixmap {
public:
    // The widest pixmap allowed: the row's byte count must fit in 31 bits.
    static constexpr std::uint32_t max_width = 0x1FFFFFFF;

    // A fully transparent (all bytes zero) pixmap. None when width or height is 0, the width
    // exceeds max_width or the byte count overflows. A failed allocation ends the process.
    static std::optional<Pixmap> create(std::uint32_t width, std::uint32_t height);
    // As create, but a size it refuses is a broken invariant that ends the process.
    static Pixmap create_or_die(std::uint32_t width, std::uint32_t height);

    Pixmap(Pixmap&& other) noexcept;
    Pixmap& operator=(Pixmap&& other) noexcept;
    Pixmap(const Pixmap&) = delete;
    Pixmap& operator=(const Pixmap&) = delete;
    ~Pixmap();

    // A deep copy (its own pixels and surface).
    Pixmap clone() const;

    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    std::size_t pixel_count() const { return std::size_t{width_} * height_; }

    // All pixels, row after row. The mutable form tells cairo that the pixels may change.
    std::span<std::uint32_t> pixels();
    std::span<const std::uint32_t> pixels() const { return {words_.get(), pixel_count()}; }
    std::uint32_t* row(std::uint32_t y) { return words_.get() + std::size_t{y} * width_; }
    const std::uint32_t* row(std::uint32_t y) const { return words_.get() + std::size_t{y} * width_; }
    std::uint32_t& at(std::uint32_t x, std::uint32_t y) { return row(y)[x]; }
    std::uint32_t at(std::uint32_t x, std::uint32_t y) const { return row(y)[x]; }

    // Sets every pixel to the word.
    void fill(std::uint32_t word);

    // The cairo surface over these pixels, for drawing code inside the render layer. Pixmaps
    // beyond cairo's size limit (32767 pixels a side) have none; drawing on them through cairo
    // is a broken invariant.
    cairo_surface_t* cairo_surface() const { return surface_; }

private:
    struct FreeWords {
        void operator()(std::uint32_t* words) const;
    };

    Pixmap(std::uint32_t width, std::uint32_t height, std::unique_ptr<std::uint32_t[], FreeWords> words);

    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::unique_ptr<std::uint32_t[], FreeWords> words_;
    cairo_surface_t* surface_ = nullptr;
};

// Channel access on a native pixel word.
constexpr std::uint32_t pixel_alpha(std::uint32_t word) { return word >> 24; }
constexpr std::uint32_t pixel_red(std::uint32_t word) { return (word >> 16) & 0xFF; }
constexpr std::uint32_t pixel_green(std::uint32_t word) { return (word >> 8) & 0xFF; }
constexpr std::uint32_t pixel_blue(std::uint32_t word) { return word & 0xFF; }
constexpr std::uint32_t pixel_word(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a)
{
    return a << 24 | r << 16 | g << 8 | b;
}

} // namespace torvane
