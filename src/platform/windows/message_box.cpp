#include "platform/message_box.hpp"

#include "platform/message_box_text.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::platform {

void show_message_box(std::string_view caption, std::string_view text, MessageIcon icon)
{
    const UINT flags = icon == MessageIcon::Information ? MB_ICONINFORMATION
        : icon == MessageIcon::Warning                  ? MB_ICONWARNING
                                                        : MB_ICONERROR;
    const std::wstring caption_text = wide_from_utf8(caption);
    const std::wstring body = wide_from_utf8(text);
    // The answer is the button pressed (IDOK). A box that could not be shown gives 0, or -1 under
    // Wine without a display: the text then goes to the console streams.
    if (::MessageBoxW(nullptr, body.c_str(), caption_text.c_str(), flags) > 0)
        return;
    print_message_box_text(text, icon);
}

} // namespace torvane::platform
