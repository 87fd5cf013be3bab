// MessageBoxW as the launcher calls it, for the tool modes' boxes and the window's.
#pragma once

#include "platform/owned_message_boxes.hpp"
#include "platform/windows/window_support.hpp"

namespace torvane::platform {

// MB_OK with the icon's flag (MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR).
UINT message_box_type(MessageIcon icon);

// MessageBoxW(owner, text, caption, type) on the calling thread: returns when the box has
// closed. Its modal loop runs on this thread, dispatching this thread's messages; it disables the
// owner while it runs and enables and activates it again at its end. NotShown when the box could
// not be shown.
BoxEnd message_box_on_this_thread(HWND owner, const OwnedMessageBox& box);

// Ends the boxes of the calling thread that the window owns: their modal loops return once this
// thread's messages are handled again.
void end_message_boxes_owned_by(HWND owner);

} // namespace torvane::platform
