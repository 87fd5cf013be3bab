#include "render/pixmap.hpp"

#include "platform/memory.hpp"
#include "platform/result.hpp"

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace torvane {

namespace {

// cairo refuses image surfaces larger than this on either side.
constexpr std::uint32_t cairo_max_side = 32767;

constexpr std::size_t large_pixmap_bytes = std::size_t{2} << 20;

bool byte_count(std::uint32_t width, std::uint32_t height, std::size_t& bytes)
{
    if (width == 0 || height == 0 || width > Pixmap::max_width)
        return false;
    return !__builtin_mul_overflow(std::size_t{width} * 4, std::size_t{height}, &bytes);
}

cairo_surface_t* make_surface(std::uint32_t* words, std::uint32_t width, std::uint32_t height)
{
    if (width > cairo_max_side || height > cairo_max_side)
        return nullptr;
    int stride = static_cast<int>(width) * 4;
    if (cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, static_cast<int>(width)) != stride)
        fatal("cairo ARGB32 rows are not packed");
    cairo_surface_t* surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(words),
        CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height), stride);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        fatal("cannot create a cairo image surface");
    return surface;
}

} // namespace

void Pixmap::FreeWords::operator()(std::uint32_t* words) const { std::free(words); }

Pixmap::Pixmap(std::uint32_t width, std::uint32_t height, std::unique_ptr<std::uint32_t[], FreeWords> words)
    : width_(width), height_(height), words_(std::move(words)), surface_(make_surface(words_.get(), width, height))
{
}

std::optional<Pixmap> Pixmap::create(std::uint32_t width, std::uint32_t height)
{
    std::size_t bytes = 0;
    if (!byte_count(width, height, bytes))
        return std::nullopt;
    auto* words = static_cast<std::uint32_t*>(std::calloc(bytes / 4, 4));
    if (!words)
        fatal("out of memory for a pixmap");
    // Canvases and images of megabytes are touched whole soon after; faulting them in 4 KiB at a
    // time costs more than drawing them.
    if (bytes >= large_pixmap_bytes)
        platform::advise_large_pages(words, bytes);
    return Pixmap(width, height, std::unique_ptr<std::uint32_t[], FreeWords>(words));
}

Pixmap Pixmap::create_or_die(std::uint32_t width, std::uint32_t height)
{
    auto pixmap = create(width, height);
    if (!pixmap)
        fatal("pixmap size out of range");
    return std::move(*pixmap);
}

Pixmap::Pixmap(Pixmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      words_(std::move(other.words_)),
      surface_(std::exchange(other.surface_, nullptr))
{
}

Pixmap& Pixmap::operator=(Pixmap&& other) noexcept
{
    if (this != &other) {
        if (surface_)
            cairo_surface_destroy(surface_);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        words_ = std::move(other.words_);
        surface_ = std::exchange(other.surface_, nullptr);
    }
    return *this;
}

Pixmap::~Pixmap()
{
    // The surface only borrows the words, so it goes first.
    if (surface_)
        cairo_surface_destroy(surface_);
}

Pixmap Pixmap::clone() const
{
    Pixmap copy = create_or_die(width_, height_);
    std::memcpy(copy.words_.get(), words_.get(), pixel_count() * 4);
    return copy;
}

std::span<std::uint32_t> Pixmap::pixels()
{
    if (surface_) {
        cairo_surface_flush(surface_);
        cairo_surface_mark_dirty(surface_);
    }
    return {words_.get(), pixel_count()};
}

void Pixmap::fill(std::uint32_t word)
{
    auto all = pixels();
    std::fill(all.begin(), all.end(), word);
}

} // namespace torvane
