// The queue of a window's message boxes, over a screen that records what it is asked: boxes that
// stay open after show_box (the Linux box in its own process) and boxes whose modal loop runs
// inside show_box (MessageBoxW on the UI thread), where the loop's events may ask for more boxes
// or close the window.
#include "platform/owned_message_boxes.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace torvane::platform {
namespace {

using ::testing::ElementsAre;

class RecordingScreen final : public BoxScreen {
public:
    // Inside show_box: the box's modal loop (set: the box ends before show_box returns).
    std::function<void(const OwnedMessageBox&)> modal_loop;
    BoxEnd end = BoxEnd::Closed;
    std::vector<std::string> calls;
    int open = 0;
    int most_open = 0;

    std::optional<BoxEnd> show_box(const OwnedMessageBox& box) override
    {
        calls.push_back("show " + box.caption);
        most_open = std::max(most_open, ++open);
        if (!modal_loop)
            return std::nullopt;
        modal_loop(box);
        --open;
        return end;
    }
    void close_open_box() override
    {
        calls.push_back("close");
        if (!modal_loop)
            --open;
    }
    void ended_elsewhere() { --open; }
};

OwnedMessageBox box(const std::string& caption) { return {caption, "texto de " + caption, MessageIcon::Warning}; }

TEST(OwnedMessageBoxes, BoxesLeftOpenShowOneAfterTheOther)
{
    RecordingScreen screen;
    OwnedMessageBoxes boxes(screen);
    boxes.ask(box("um"));
    boxes.ask(box("dois"));
    boxes.ask(box("três"));
    EXPECT_THAT(screen.calls, ElementsAre("show um"));
    EXPECT_TRUE(boxes.box_open());
    screen.ended_elsewhere();
    boxes.box_ended(BoxEnd::Closed);
    screen.ended_elsewhere();
    boxes.box_ended(BoxEnd::Closed);
    EXPECT_THAT(screen.calls, ElementsAre("show um", "show dois", "show três"));
    screen.ended_elsewhere();
    boxes.box_ended(BoxEnd::Closed);
    EXPECT_FALSE(boxes.box_open());
    boxes.box_ended(BoxEnd::Closed); // a late end with no box open changes nothing
    EXPECT_EQ(screen.most_open, 1);
}

TEST(OwnedMessageBoxes, ABoxAskedForInsideAModalLoopFollowsWithinTheSameCall)
{
    RecordingScreen screen;
    OwnedMessageBoxes boxes(screen);
    screen.modal_loop = [&](const OwnedMessageBox& shown) {
        if (shown.caption == "um") {
            boxes.ask(box("dois"));
            boxes.ask(box("três"));
            EXPECT_THAT(screen.calls, ElementsAre("show um")) << "a box asked for inside the loop did not wait";
        }
    };
    boxes.ask(box("um"));
    EXPECT_THAT(screen.calls, ElementsAre("show um", "show dois", "show três"));
    EXPECT_EQ(screen.most_open, 1);
    EXPECT_FALSE(boxes.box_open());
}

TEST(OwnedMessageBoxes, OnlyABoxThatCouldNotBeShownLeavesItsTextOnStandardError)
{
    struct Case {
        const char* what;
        bool modal;
        BoxEnd end;
        std::string printed;
    };
    const Case cases[] = {
        {"left open, closed", false, BoxEnd::Closed, ""},
        {"left open, not shown", false, BoxEnd::NotShown, "um: texto de um\n"},
        {"modal, closed", true, BoxEnd::Closed, ""},
        {"modal, not shown", true, BoxEnd::NotShown, "um: texto de um\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingScreen screen;
        screen.end = c.end;
        if (c.modal)
            screen.modal_loop = [](const OwnedMessageBox&) {};
        OwnedMessageBoxes boxes(screen);
        testing::internal::CaptureStderr();
        boxes.ask(box("um"));
        if (!c.modal)
            boxes.box_ended(c.end);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.printed);
    }
}

TEST(OwnedMessageBoxes, TheWindowsEndClosesTheOpenBoxAndDropsTheWaitingOnes)
{
    for (bool modal : {false, true}) {
        SCOPED_TRACE(modal ? "modal" : "left open");
        RecordingScreen screen;
        OwnedMessageBoxes boxes(screen);
        // A modal box's loop sees the window closed (the taskbar's close); its end is the box
        // taken away with its window, which is no failure to report.
        screen.end = BoxEnd::NotShown;
        if (modal)
            screen.modal_loop = [&](const OwnedMessageBox& shown) {
                if (shown.caption == "um") {
                    boxes.ask(box("dois"));
                    boxes.close_all();
                }
            };
        testing::internal::CaptureStderr();
        boxes.ask(box("um"));
        if (!modal) {
            boxes.ask(box("dois"));
            boxes.close_all();
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_THAT(screen.calls, ElementsAre("show um", "close"));
        EXPECT_FALSE(boxes.box_open());
        EXPECT_EQ(screen.open, 0);
        boxes.box_ended(BoxEnd::NotShown); // no end is expected after a close
        EXPECT_THAT(screen.calls, ElementsAre("show um", "close"));

        boxes.close_all(); // with nothing open: nothing to close

        EXPECT_THAT(screen.calls, ElementsAre("show um", "close"));
    }
}

} // namespace
} // namespace torvane::platform
