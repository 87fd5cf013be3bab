// Other programs' top-level windows through FindWindowW; a found window is restored and brought
// to the front with ShowWindow and SetForegroundWindow. Windows always has a desktop, so the
// connection holds nothing.
#include "platform/desktop_windows.hpp"

#include "platform/windows/window_support.hpp"

#include <windows.h>

#include <cstdint>

namespace torvane::platform {

namespace {

std::optional<DesktopWindow> found(HWND window)
{
    if (!window)
        return std::nullopt;
    return DesktopWindow {static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window))};
}

} // namespace

struct DesktopWindows::Connection {};

DesktopWindows DesktopWindows::connect() { return DesktopWindows(std::make_unique<Connection>()); }

DesktopWindows::DesktopWindows(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}
DesktopWindows::DesktopWindows(DesktopWindows&&) noexcept = default;
DesktopWindows& DesktopWindows::operator=(DesktopWindows&&) noexcept = default;
DesktopWindows::~DesktopWindows() = default;

std::optional<DesktopWindow> DesktopWindows::find_by_class(std::string_view window_class)
{
    return found(FindWindowW(to_wide(window_class).c_str(), nullptr));
}

std::optional<DesktopWindow> DesktopWindows::find_by_title(std::string_view title)
{
    return found(FindWindowW(nullptr, to_wide(title).c_str()));
}

void DesktopWindows::activate(DesktopWindow window)
{
    HWND handle = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window.id));
    ShowWindow(handle, SW_RESTORE);
    SetForegroundWindow(handle);
}

} // namespace torvane::platform
