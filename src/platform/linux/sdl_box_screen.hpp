// The Linux window's boxes on the screen: SDL's box, shown by a thread of its own so that the UI
// thread goes on, since SDL's box waits for its process until the user closes it. The thread's end
// is an SDL event of the type given, which the window hands to take_end.
#pragma once

#include "platform/owned_message_boxes.hpp"

#include <SDL.h>

#include <cstdint>
#include <memory>

namespace torvane::platform {

class SdlBoxScreen final : public BoxScreen {
public:
    SdlBoxScreen();
    ~SdlBoxScreen() override;

    // The window the boxes belong to and the event type that reports a box's end; before any box.
    void attach(SDL_Window* owner, std::uint32_t ended_event_type);
    // Returns once SDL has forked the box's process (none with the box open), or with the box's
    // end when no thread could be made and the box was shown on this one.
    std::optional<BoxEnd> show_box(const OwnedMessageBox& box) override;
    // Ends the box's process and waits for its thread; its end event is dropped.
    void close_open_box() override;
    // After the end event: the box's thread is joined and its end returned; none when no box has
    // ended.
    std::optional<BoxEnd> take_end();

private:
    struct OpenBox;
    std::unique_ptr<OpenBox> box_;
    SDL_Window* owner_ = nullptr;
    std::uint32_t ended_type_ = 0;
};

} // namespace torvane::platform
