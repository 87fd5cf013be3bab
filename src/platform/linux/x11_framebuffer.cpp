#include "platform/linux/x11_framebuffer.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>

namespace torvane::platform::x11 {

struct Framebuffer::Segment {
    XShmSegmentInfo info {};
};

namespace {

// Set by the handler below while a segment is being attached: a remote server refuses it.
bool attach_refused = false;
int note_attach_error(Display*, XErrorEvent*)
{
    attach_refused = true;
    return 0;
}

XImage* image_of(void* image) { return static_cast<XImage*>(image); }
GC gc_of(void* gc) { return static_cast<GC>(gc); }

constexpr bool host_is_little_endian()
{
    return static_cast<std::uint8_t>(std::uint16_t {1}) == 1;
}

} // namespace

Result<std::unique_ptr<Framebuffer>> Framebuffer::create(Display* display, unsigned long window, int width, int height)
{
    XWindowAttributes attributes {};
    if (!display || !XGetWindowAttributes(display, window, &attributes) || !attributes.visual)
        return failure("a janela não tem visual");
    const Visual* visual = attributes.visual;
    if (visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF
        || (attributes.depth != 24 && attributes.depth != 32))
        return failure("formato de pixel não suportado (profundidade " + std::to_string(attributes.depth) + ")");

    auto self = std::unique_ptr<Framebuffer>(new Framebuffer());
    self->display_ = display;
    self->window_ = window;
    self->width_ = std::max(width, 1);
    self->height_ = std::max(height, 1);
    self->depth_ = attributes.depth;
    self->gc_ = XCreateGC(display, window, 0, nullptr);
    if (!self->gc_)
        return failure("não foi possível criar o contexto gráfico");

    if (!self->attach_segment(attributes.depth, attributes.visual)) {
        // Through the connection: Xlib copies the rectangles into its requests.
        std::size_t bytes = std::size_t {4} * static_cast<std::size_t>(self->width_) * static_cast<std::size_t>(self->height_);
        auto* pixels = static_cast<std::uint32_t*>(std::calloc(bytes, 1));
        if (!pixels)
            return failure("memória insuficiente para a janela");
        XImage* image = XCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap, 0,
            reinterpret_cast<char*>(pixels), static_cast<unsigned>(self->width_), static_cast<unsigned>(self->height_), 32, 0);
        if (!image) {
            std::free(pixels);
            return failure("não foi possível criar a imagem da janela");
        }
        // The words are the host's; Xlib turns them round for a server of the other byte order.
        image->byte_order = host_is_little_endian() ? LSBFirst : MSBFirst;
        self->image_ = image;
        self->pixels_ = pixels;
    }

    const XImage* image = image_of(self->image_);
    const int native_order = host_is_little_endian() ? LSBFirst : MSBFirst;
    if (image->bits_per_pixel != 32 || image->bytes_per_line != self->width_ * 4
        || (self->segment_ && image->byte_order != native_order))
        return failure("formato de pixel não suportado (" + std::to_string(image->bits_per_pixel) + " bits por pixel)");
    self->pitch_ = image->bytes_per_line;
    return self;
}

bool Framebuffer::attach_segment(int depth, void* visual)
{
    int major = 0, minor = 0;
    Bool pixmaps = False;
    if (!XShmQueryVersion(display_, &major, &minor, &pixmaps))
        return false;
    auto segment = std::make_unique<Segment>();
    XImage* image = XShmCreateImage(display_, static_cast<Visual*>(visual), static_cast<unsigned>(depth), ZPixmap, nullptr,
        &segment->info, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    if (!image)
        return false;
    const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height_);
    segment->info.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment->info.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    segment->info.shmaddr = static_cast<char*>(shmat(segment->info.shmid, nullptr, 0));
    bool attached = false;
    if (segment->info.shmaddr != reinterpret_cast<char*>(-1)) {
        segment->info.readOnly = False;
        XSync(display_, False);
        attach_refused = false;
        int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(note_attach_error);
        XShmAttach(display_, &segment->info);
        XSync(display_, False);
        XSetErrorHandler(previous);
        attached = !attach_refused;
        if (!attached)
            shmdt(segment->info.shmaddr);
    }
    // Both sides hold it now (or nobody does): it goes when the last one lets go, even after a crash.
    shmctl(segment->info.shmid, IPC_RMID, nullptr);
    if (!attached) {
        XDestroyImage(image);
        return false;
    }
    image->data = segment->info.shmaddr;
    image_ = image;
    pixels_ = reinterpret_cast<std::uint32_t*>(segment->info.shmaddr);
    segment_ = std::move(segment);
    return true;
}

Framebuffer::~Framebuffer()
{
    if (segment_) {
        XShmDetach(display_, &segment_->info);
        XSync(display_, False);
        shmdt(segment_->info.shmaddr);
    } else if (pixels_) {
        std::free(pixels_);
    }
    if (XImage* image = image_of(image_)) {
        image->data = nullptr; // freed above
        XDestroyImage(image);
    }
    if (gc_)
        XFreeGC(display_, gc_of(gc_));
}

void Framebuffer::warm_up()
{
    if (!segment_)
        return;
    // A column of one pixel per request, the columns a page (1024 words) apart: every row is read
    // at most a page apart, so every page of the segment is read once. The target is a pixmap one
    // pixel wide, never shown.
    ::Pixmap column = XCreatePixmap(display_, window_, 1, static_cast<unsigned>(height_), static_cast<unsigned>(depth_));
    GC gc = XCreateGC(display_, column, 0, nullptr);
    for (int x = 0; x < width_; x += 1024)
        XShmPutImage(display_, column, gc, image_of(image_), x, 0, 0, 0, 1, static_cast<unsigned>(height_), False);
    XFreeGC(display_, gc);
    XFreePixmap(display_, column);
    XFlush(display_);
}

void Framebuffer::put(std::span<const PixelRect> rects)
{
    for (const PixelRect& rect : rects) {
        if (segment_)
            XShmPutImage(display_, window_, gc_of(gc_), image_of(image_), rect.x, rect.y, rect.x, rect.y,
                static_cast<unsigned>(rect.w), static_cast<unsigned>(rect.h), False);
        else
            XPutImage(display_, window_, gc_of(gc_), image_of(image_), rect.x, rect.y, rect.x, rect.y,
                static_cast<unsigned>(rect.w), static_cast<unsigned>(rect.h));
    }
    // The server has read the segment once this returns.
    XSync(display_, False);
}

} // namespace torvane::platform::x11
