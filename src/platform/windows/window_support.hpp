// What the Win32 window host, the instance lock and the program starts share: windows.h with the
// W forms of its macros, the layer's texts and error texts (win32.hpp, files.hpp), and the
// launcher's own window (the owner of the game start's prompts).
#pragma once

// The W forms of the macros that name resources (IDC_ARROW, IDC_HAND), and std::min and std::max
// left alone.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::platform::win32 {

// The launcher window while it exists (none before and after); set by the window host, read on
// the UI thread by the program starts, whose prompts it owns.
void set_launcher_window(HWND window);
HWND launcher_window();

} // namespace torvane::platform::win32
