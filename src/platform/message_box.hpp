// Message boxes without an owner window, for the tool modes.
#pragma once

#include <string_view>

namespace torvane::platform {

enum class MessageBoxIcon { Information, Error };

// Shows the text under the caption and returns when the user has closed it. Where no box can be
// shown (no display), an information goes to standard output and an error to standard error.
void show_message_box(std::string_view caption, std::string_view text, MessageBoxIcon icon);

} // namespace torvane::platform
