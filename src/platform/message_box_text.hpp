// Where a message box cannot be shown (no display, or the system refused it), its text goes to the
// process's standard streams instead, so that it is never lost.
#pragma once

#include "platform/message_box.hpp"

#include <string_view>

namespace torvane::platform {

// The text of a tool mode's box: an information to standard output, a warning or an error to
// standard error, followed by a line end.
void print_message_box_text(std::string_view text, MessageIcon icon);

// The text of a window's box (owned or orphan): "<caption>: <text>" (the caption and its colon
// left out when empty) and a line end, on standard error.
void print_window_message_box_text(std::string_view caption, std::string_view text);

} // namespace torvane::platform
