#include "platform/windows/window_support.hpp"

#include "platform/unicode.hpp"

#include <atomic>

namespace torvane::platform::win32 {

std::wstring wide(std::string_view utf8)
{
    std::u16string units = utf16_units(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string narrow(std::wstring_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t unit = utf16[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000) {
            append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (char32_t(utf16[i + 1]) - 0xDC00));
            ++i;
        } else {
            append_utf8(out, unit); // a lone surrogate becomes U+FFFD
        }
    }
    return out;
}

std::string error_text(DWORD code)
{
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring_view message(buffer, buffer ? length : 0);
    // The system ends its messages with a line break.
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.remove_suffix(1);
    std::string text = message.empty() ? "Unknown error" : narrow(message);
    if (buffer)
        LocalFree(buffer);
    return text + " (os error " + std::to_string(code) + ")";
}

namespace {
std::atomic<HWND> current_launcher_window {nullptr};
}

void set_launcher_window(HWND window) { current_launcher_window.store(window); }
HWND launcher_window() { return current_launcher_window.load(); }

} // namespace torvane::platform::win32
