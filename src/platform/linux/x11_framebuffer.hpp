// The window's pixels on X11: an image the UI draws into and hands to the server rectangle by
// rectangle. Through a shared memory segment (MIT-SHM) when the server offers one, else through
// the connection.
//
// The launcher keeps this instead of SDL's window surface for one reason: the segment is its own
// to name in requests. A server reads a new segment slowly the first time (every page is new to
// its address space), which at 192 dpi took longer than drawing the whole first frame; warm_up
// has the server read one word of every page while that frame is drawn.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/result.hpp"
#include "platform/window_host.hpp"

typedef struct _XDisplay Display;

namespace torvane::platform::x11 {

class Framebuffer {
public:
    // An image of the window's size in its visual. Fails when the visual's word is not
    // 0xXXRRGGBB in the host's byte order (16-bit displays, servers of the other byte order).
    static Result<std::unique_ptr<Framebuffer>> create(Display* display, unsigned long window, int width, int height);
    ~Framebuffer();
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;

    std::uint32_t* pixels() const { return pixels_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int pitch() const { return pitch_; }

    // Asks the server, without waiting, to read one word of each page of the segment into a small
    // pixmap of its own, so that the first put finds the pages mapped. Nothing on the screen
    // changes. Without a segment it does nothing.
    void warm_up();

    // Puts the rectangles (already inside the image) on the window. Returns once the server has
    // read them, so the pixels may be drawn into again right away.
    void put(std::span<const PixelRect> rects);

private:
    Framebuffer() = default;
    bool attach_segment(int depth, void* visual);

    Display* display_ = nullptr;
    unsigned long window_ = 0;
    void* gc_ = nullptr;    // Xlib's GC
    void* image_ = nullptr; // Xlib's XImage
    struct Segment;
    std::unique_ptr<Segment> segment_; // none: the pixels go through the connection
    std::uint32_t* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int pitch_ = 0;
    int depth_ = 0;
};

} // namespace torvane::platform::x11
