#include "platform/message_box.hpp"

#include <cstdio>

namespace torvane::platform {

// This build has no window host to own a box yet, so every message takes the path of a machine
// without a display: the text on the stream that matches its kind.
void show_message_box(std::string_view, std::string_view text, MessageBoxIcon icon)
{
    std::FILE* stream = icon == MessageBoxIcon::Error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace torvane::platform
