#include "platform/owned_message_boxes.hpp"

#include "platform/message_box_text.hpp"

#include <utility>

namespace torvane::platform {

void OwnedMessageBoxes::ask(OwnedMessageBox box)
{
    waiting_.push_back(std::move(box));
    show_waiting();
}

void OwnedMessageBoxes::show_waiting()
{
    // Asked for while a box is open (also from inside its modal loop): the box waits its turn.
    while (!open_ && !waiting_.empty()) {
        open_ = std::move(waiting_.front());
        waiting_.pop_front();
        inside_show_ = true;
        std::optional<BoxEnd> end = screen_.show_box(*open_);
        inside_show_ = false;
        if (!end)
            return; // open elsewhere: box_ended follows
        finish(*end);
    }
}

void OwnedMessageBoxes::box_ended(BoxEnd end)
{
    if (!open_ || inside_show_)
        return;
    finish(end);
    show_waiting();
}

void OwnedMessageBoxes::finish(BoxEnd end)
{
    if (end == BoxEnd::NotShown && !closing_)
        print_window_message_box_text(open_->caption, open_->text);
    open_.reset();
    closing_ = false;
}

void OwnedMessageBoxes::close_all()
{
    waiting_.clear();
    if (!open_)
        return;
    closing_ = true;
    screen_.close_open_box();
    // A box shown on this thread ends when its show_box returns, in show_waiting.
    if (!inside_show_)
        finish(BoxEnd::Closed);
}

} // namespace torvane::platform
