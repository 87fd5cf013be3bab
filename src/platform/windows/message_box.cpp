#include "platform/message_box.hpp"

#include "platform/message_box_text.hpp"
#include "platform/window_host.hpp"
#include "platform/windows/message_box_calls.hpp"

namespace torvane::platform {

namespace {

// MessageBoxW answers the button pressed; a box that could not be shown gives 0 (Wine without a
// display gives -1).
bool box_shown(int answer) { return answer > 0; }

int message_box_call(HWND owner, std::string_view caption, std::string_view text, MessageIcon icon)
{
    const std::wstring caption_text = to_wide(caption);
    const std::wstring body = to_wide(text);
    return MessageBoxW(owner, body.c_str(), caption_text.c_str(), message_box_type(icon));
}

BOOL CALLBACK end_owned_box(HWND window, LPARAM owner)
{
    wchar_t name[16] = {};
    // "#32770" is the class of dialog boxes, the message box's among them.
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) && GetClassNameW(window, name, 16)
        && std::wstring_view(name) == L"#32770")
        EndDialog(window, IDOK);
    return TRUE;
}

} // namespace

UINT message_box_type(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return MB_OK | MB_ICONINFORMATION;
    case MessageIcon::Warning:
        return MB_OK | MB_ICONWARNING;
    case MessageIcon::Error:
        break;
    }
    return MB_OK | MB_ICONERROR;
}

BoxEnd message_box_on_this_thread(HWND owner, const OwnedMessageBox& box)
{
    return box_shown(message_box_call(owner, box.caption, box.text, box.icon)) ? BoxEnd::Closed : BoxEnd::NotShown;
}

void end_message_boxes_owned_by(HWND owner)
{
    EnumThreadWindows(GetCurrentThreadId(), end_owned_box, reinterpret_cast<LPARAM>(owner));
}

void show_message_box(std::string_view caption, std::string_view text, MessageIcon icon)
{
    // Without a display the text goes to the console streams instead.
    if (!box_shown(message_box_call(nullptr, caption, text, icon)))
        print_message_box_text(text, icon);
}

void show_orphan_message_box(std::string_view caption, std::string_view text, MessageIcon icon)
{
    if (!box_shown(message_box_call(nullptr, caption, text, icon)))
        print_window_message_box_text(caption, text);
}

} // namespace torvane::platform
