// The Windows window's back buffer: a 32-bit top-down DIB section selected into a memory DC
// compatible with the screen. Its pixels are the frame's 0xXXRRGGBB words, rows packed; WM_PAINT
// and the presented rectangles are copied from it to the window with BitBlt.
#pragma once

#include "platform/windows/window_support.hpp"

#include <cstdint>

namespace torvane::platform {

struct BackBuffer {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr; // the bitmap the DC held before
    std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;

    // A buffer of at least 1 x 1 pixels; on failure of the GDI calls its pixels are null.
    static BackBuffer create(std::int32_t width, std::int32_t height);
    // Gives the GDI objects back; the buffer is empty afterwards.
    void release();
};

} // namespace torvane::platform
