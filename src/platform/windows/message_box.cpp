#include "platform/message_box.hpp"

#include "platform/windows/win32.hpp"

#include <cstdio>

namespace torvane::platform {

void show_message_box(std::string_view caption, std::string_view text, MessageBoxIcon icon)
{
    const UINT flags = icon == MessageBoxIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION;
    const std::wstring caption_text = wide_from_utf8(caption);
    const std::wstring body = wide_from_utf8(text);
    if (::MessageBoxW(nullptr, body.c_str(), caption_text.c_str(), flags) != 0)
        return;
    // No box could be shown (no desktop for this process): the text goes to the console streams.
    std::FILE* stream = icon == MessageBoxIcon::Error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace torvane::platform
