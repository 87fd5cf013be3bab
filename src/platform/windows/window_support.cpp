#include "platform/windows/window_support.hpp"

#include <atomic>

namespace torvane::platform::win32 {

namespace {
std::atomic<HWND> current_launcher_window {nullptr};
}

void set_launcher_window(HWND window) { current_launcher_window.store(window); }
HWND launcher_window() { return current_launcher_window.load(); }

} // namespace torvane::platform::win32
