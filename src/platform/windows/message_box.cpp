#include "platform/message_box.hpp"

#include "platform/windows/win32.hpp"

#include <cstdio>

namespace torvane::platform {

void show_message_box(std::string_view caption, std::string_view text, MessageBoxIcon icon)
{
    const UINT flags = icon == MessageBoxIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION;
    const std::wstring caption_text = wide_from_utf8(caption);
    const std::wstring body = wide_from_utf8(text);
    // The answer is the button pressed (IDOK). A box that could not be shown gives 0, or -1 under
    // Wine without a display: the text then goes to the console streams.
    if (::MessageBoxW(nullptr, body.c_str(), caption_text.c_str(), flags) > 0)
        return;
    std::FILE* stream = icon == MessageBoxIcon::Error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace torvane::platform
