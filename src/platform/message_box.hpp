// Message boxes: the icon every box of the launcher carries, and the boxes without an owner window
// that the tool modes show.
#pragma once

#include <string_view>

namespace torvane::platform {

// The icon of a box (on Windows MB_ICONINFORMATION, MB_ICONWARNING or MB_ICONERROR).
enum class MessageIcon { Information, Warning, Error };

// Shows the text under the caption and returns when the user has closed it. Where no box can be
// shown (no display), an information goes to standard output, a warning or an error to standard
// error.
void show_message_box(std::string_view caption, std::string_view text, MessageIcon icon);

} // namespace torvane::platform
