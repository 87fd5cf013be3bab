#include "platform/message_box_text.hpp"

#include <cstdio>

namespace torvane::platform {

void print_message_box_text(std::string_view text, MessageIcon icon)
{
    std::FILE* stream = icon == MessageIcon::Information ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void print_window_message_box_text(std::string_view caption, std::string_view text)
{
    if (!caption.empty())
        std::fprintf(stderr, "%.*s: ", static_cast<int>(caption.size()), caption.data());
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(stderr);
}

} // namespace torvane::platform
