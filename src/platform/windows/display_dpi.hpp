// The DPI of the Windows desktop and of a window (the per-monitor DPI where Windows has it).
#pragma once

#include "platform/windows/window_support.hpp"

namespace torvane::platform {

inline constexpr float base_dpi = 96;

// GetDpiForSystem, else the screen DC's LOGPIXELSX, else 96.
UINT system_dpi();
// GetDpiForWindow (the DPI of the monitor the window is on), else the system's.
UINT window_dpi(HWND window);

} // namespace torvane::platform
