// What the Win32 window host, the instance lock and the program starts share: UTF-16 texts for
// the W calls, the system's error texts, and the launcher's own window (the owner of the game
// start's prompts).
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

#include <string>
#include <string_view>

namespace torvane::platform::win32 {

// The layer's own conversions and error texts, under the names the window code uses.
inline std::wstring wide(std::string_view utf8) { return wide_from_utf8(utf8); }
inline std::string narrow(std::wstring_view utf16) { return utf8_from_wide(utf16); }
// "The system cannot find the file specified. (os error 2)".
inline std::string error_text(DWORD code) { return os_error_text(static_cast<int>(code)); }

// The launcher window while it exists (none before and after); set by the window host, read on
// the UI thread by the program starts, whose prompts it owns.
void set_launcher_window(HWND window);
HWND launcher_window();

} // namespace torvane::platform::win32
