#include "platform/windows/display_dpi.hpp"

#include "platform/window_host.hpp"

namespace torvane::platform {

namespace {

// The per-monitor DPI calls exist from Windows 10 1607 on; looked up at run time so that the
// launcher still starts (at the device context's DPI) where they are missing.
struct DpiCalls {
    UINT(WINAPI* for_system)() = nullptr;
    UINT(WINAPI* for_window)(HWND) = nullptr;
};

template <class Function>
Function user32_call(const char* name)
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    FARPROC found = user32 ? GetProcAddress(user32, name) : nullptr;
    // Through the generic function pointer type, which any function pointer converts to and from.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

const DpiCalls& dpi_calls()
{
    static const DpiCalls calls {
        user32_call<UINT(WINAPI*)()>("GetDpiForSystem"),
        user32_call<UINT(WINAPI*)(HWND)>("GetDpiForWindow"),
    };
    return calls;
}

UINT device_context_dpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

RECT work_area()
{
    RECT area {};
    (void)SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

} // namespace

UINT system_dpi()
{
    UINT dpi = dpi_calls().for_system ? dpi_calls().for_system() : 0;
    return dpi ? dpi : device_context_dpi();
}

UINT window_dpi(HWND window)
{
    UINT dpi = dpi_calls().for_window && window ? dpi_calls().for_window(window) : 0;
    return dpi ? dpi : system_dpi();
}

Result<DisplayInfo> open_display()
{
    DisplayInfo info;
    info.system_scale = static_cast<float>(system_dpi()) / base_dpi;
    RECT area = work_area();
    info.usable_bounds = {area.left, area.top, area.right - area.left, area.bottom - area.top};
    return info;
}

} // namespace torvane::platform
