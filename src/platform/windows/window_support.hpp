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

#include <string>
#include <string_view>

namespace torvane::platform::win32 {

// The UTF-8 text as UTF-16 for the W calls (invalid sequences become U+FFFD).
std::wstring wide(std::string_view utf8);
// The UTF-16 text as UTF-8 (unpaired surrogates become U+FFFD).
std::string narrow(std::wstring_view utf16);

// The system's message for a Win32 error code followed by " (os error N)", the form the
// launcher shows in its boxes: "The system cannot find the file specified. (os error 2)".
std::string error_text(DWORD code);

// The launcher window while it exists (none before and after); set by the window host, read on
// the UI thread by the program starts, whose prompts it owns.
void set_launcher_window(HWND window);
HWND launcher_window();

} // namespace torvane::platform::win32
