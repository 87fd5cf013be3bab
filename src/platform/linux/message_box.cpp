#include "platform/message_box.hpp"

#include "platform/linux/sdl_message_box.hpp"
#include "platform/message_box_text.hpp"
#include "platform/window_host.hpp"

#include <string>

namespace torvane::platform {

namespace {

// SDL opens a display connection of its own for the box; without a display it fails at once.
bool sdl_box_shown(std::string_view caption, std::string_view text, MessageIcon icon)
{
    const std::string caption_text(caption);
    const std::string body(text);
    return show_sdl_message_box(sdl_message_box_flags(icon), caption_text.c_str(), body.c_str(), nullptr) == 0;
}

} // namespace

void show_message_box(std::string_view caption, std::string_view text, MessageIcon icon)
{
    if (!sdl_box_shown(caption, text, icon))
        print_message_box_text(text, icon);
}

void show_orphan_message_box(std::string_view caption, std::string_view text, MessageIcon icon)
{
    if (!sdl_box_shown(caption, text, icon))
        print_window_message_box_text(caption, text);
}

} // namespace torvane::platform
