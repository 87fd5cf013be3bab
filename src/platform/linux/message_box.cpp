#include "platform/message_box.hpp"

#include "platform/linux/sdl_message_box.hpp"

#include <cstdio>
#include <string>

namespace torvane::platform {

void show_message_box(std::string_view caption, std::string_view text, MessageBoxIcon icon)
{
    const std::string caption_text(caption);
    const std::string body(text);
    const Uint32 flags = icon == MessageBoxIcon::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    // SDL opens a display connection of its own for the box; without a display it fails at once.
    if (show_sdl_message_box(flags, caption_text.c_str(), body.c_str(), nullptr) == 0)
        return;
    std::FILE* stream = icon == MessageBoxIcon::Error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace torvane::platform
