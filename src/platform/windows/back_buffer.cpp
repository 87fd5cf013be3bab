#include "platform/windows/back_buffer.hpp"

#include <algorithm>

namespace torvane::platform {

BackBuffer BackBuffer::create(std::int32_t width, std::int32_t height)
{
    BackBuffer buffer;
    buffer.width = std::max(width, 1);
    buffer.height = std::max(height, 1);
    HDC screen = GetDC(nullptr);
    buffer.dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = buffer.width;
    info.bmiHeader.biHeight = -buffer.height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    buffer.bitmap = CreateDIBSection(buffer.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (buffer.dc && buffer.bitmap) {
        buffer.previous = SelectObject(buffer.dc, buffer.bitmap);
        buffer.pixels = static_cast<std::uint32_t*>(bits);
    }
    return buffer;
}

void BackBuffer::release()
{
    if (dc && previous)
        SelectObject(dc, previous);
    if (bitmap)
        DeleteObject(bitmap);
    if (dc)
        DeleteDC(dc);
    *this = {};
}

} // namespace torvane::platform
