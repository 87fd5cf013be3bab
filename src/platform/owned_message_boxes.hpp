// The message boxes a window owns, the same on every system: one box on the screen at a time,
// those asked for meanwhile shown after it in the order asked, and all of them gone with the
// window. The system's part is only the box itself (BoxScreen): on Windows MessageBoxW on the UI
// thread, whose modal loop ends before show_box returns; on Linux SDL's box in a process of its own,
// which stays open after show_box returns.
#pragma once

#include "platform/message_box.hpp"

#include <deque>
#include <optional>
#include <string>

namespace torvane::platform {

struct OwnedMessageBox {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::Error;
};

// How a box ended: closed by the user (or with its window), or never shown (no display, or the
// system refused it).
enum class BoxEnd { Closed, NotShown };

// The system's part: puts one box on the screen and takes it off again.
class BoxScreen {
public:
    virtual ~BoxScreen() = default;
    // Shows the box. Returns how it ended when it ended before the call returns (its modal loop ran
    // on the calling thread), none while it stays open: its end is then reported later through
    // OwnedMessageBoxes::box_ended.
    virtual std::optional<BoxEnd> show_box(const OwnedMessageBox& box) = 0;
    // Takes the open box off the screen for its window's end. A box that show_box left open is gone
    // when this returns and reports no end; a box whose show_box is still running makes it return.
    virtual void close_open_box() = 0;
};

// Called on the window's thread only. A box that could not be shown leaves its text on standard
// error (print_window_message_box_text), unless its window closed it.
class OwnedMessageBoxes {
public:
    explicit OwnedMessageBoxes(BoxScreen& screen) : screen_(screen) {}
    OwnedMessageBoxes(const OwnedMessageBoxes&) = delete;
    OwnedMessageBoxes& operator=(const OwnedMessageBoxes&) = delete;

    // Shows the box now, or after the open one and those waiting before it. With boxes whose show_box
    // runs their modal loop, a call made inside that loop only queues its box, and the call that
    // showed the open box returns once the queue is empty.
    void ask(OwnedMessageBox box);
    // The box that show_box left open has ended: the next one shows.
    void box_ended(BoxEnd end);
    // The window goes: the waiting boxes are dropped and the open one is taken off the screen.
    void close_all();
    bool box_open() const { return open_.has_value(); }

private:
    void show_waiting();
    void finish(BoxEnd end);

    BoxScreen& screen_;
    std::deque<OwnedMessageBox> waiting_;
    std::optional<OwnedMessageBox> open_;
    bool inside_show_ = false;
    bool closing_ = false; // the open box goes with its window: its end is not reported
};

} // namespace torvane::platform
