#include "platform/desktop_windows.hpp"
#include "platform/instance_lock.hpp"
#include "windows_test_support.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

using namespace std::chrono_literals;
using test::windows::ChildProcess;
using test::windows::NamedEvent;

// Each case leaves the process's slot empty, since a second creation while it is full ends the
// process.
class InstanceMutexTest : public testing::Test {
protected:
    void TearDown() override { release_instance_mutex(); }

    // A second launcher holding the mutex until let_go is signalled; it then releases it or ends
    // without releasing (abandons it).
    std::optional<ChildProcess> holder(NamedEvent& ready, NamedEvent& let_go, const wchar_t* how)
    {
        auto child = ChildProcess::start({L"hold-mutex", ready.name(), let_go.name(), how});
        EXPECT_TRUE(child);
        if (child) {
            EXPECT_TRUE(ready.wait()) << "the holder did not get the mutex";
        }
        return child;
    }
};

TEST_F(InstanceMutexTest, FirstLauncherOwnsItAndASecondFindsItHeld)
{
    EXPECT_EQ(create_instance_mutex(), InstanceLock::Owned);
    auto second = ChildProcess::start({L"try-mutex"});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->wait(), static_cast<DWORD>(InstanceLock::HeldElsewhere)) << "the mutex is seen across processes";

    EXPECT_TRUE(take_and_release_instance_mutex());
    EXPECT_FALSE(take_and_release_instance_mutex()) << "only one call finds the handle";
    release_instance_mutex(); // and later calls do nothing

    auto third = ChildProcess::start({L"try-mutex"});
    ASSERT_TRUE(third);
    EXPECT_EQ(third->wait(), static_cast<DWORD>(InstanceLock::Owned)) << "a released mutex is free again";
}

TEST_F(InstanceMutexTest, TheHandOverWaitsForTheOldLauncher)
{
    struct Case {
        const char* what;
        const wchar_t* how;
    };
    const Case cases[] = {
        {"the old launcher releases the mutex", L"release"},
        {"the old launcher ends without releasing: the mutex is abandoned", L"abandon"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NamedEvent ready(L"ready");
        NamedEvent let_go(L"let-go");
        auto old_launcher = holder(ready, let_go, c.how);
        ASSERT_TRUE(old_launcher);

        EXPECT_EQ(create_instance_mutex(), InstanceLock::HeldElsewhere);
        EXPECT_FALSE(wait_for_instance_mutex(200ms)) << "the holder still runs";
        let_go.set();
        EXPECT_TRUE(wait_for_instance_mutex(20000ms));
        EXPECT_EQ(old_launcher->wait(), 0u);

        // This process owns it now: another launcher finds it held.
        auto other = ChildProcess::start({L"try-mutex"});
        ASSERT_TRUE(other);
        EXPECT_EQ(other->wait(), static_cast<DWORD>(InstanceLock::HeldElsewhere));
        EXPECT_TRUE(take_and_release_instance_mutex());
    }
}

TEST_F(InstanceMutexTest, AHeldMutexLetGoWithoutOwningIt)
{
    NamedEvent ready(L"ready");
    NamedEvent let_go(L"let-go");
    auto running = holder(ready, let_go, L"release");
    ASSERT_TRUE(running);
    EXPECT_EQ(create_instance_mutex(), InstanceLock::HeldElsewhere);
    // A second launcher that found the first only closes its handle.
    EXPECT_TRUE(take_and_release_instance_mutex());
    EXPECT_FALSE(wait_for_instance_mutex(10ms)) << "no handle is left to wait on";
    let_go.set();
    EXPECT_EQ(running->wait(), 0u);
}

TEST(DesktopWindowsTest, TheRunningLauncherIsFoundByClassAndTitleAndBroughtBack)
{
    auto desktop = DesktopWindows::connect();
    EXPECT_FALSE(desktop.find_by_class(launcher_window_class)) << "no launcher runs yet";

    NamedEvent ready(L"window");
    // The title as an older build shows it: the cached server name.
    auto running = ChildProcess::start({L"window", L"Servidor \u00C1rvore", ready.name()});
    ASSERT_TRUE(running);
    ASSERT_TRUE(ready.wait());

    auto by_class = desktop.find_by_class(launcher_window_class);
    ASSERT_TRUE(by_class);
    auto by_title = desktop.find_by_title("Servidor \xC3\x81rvore");
    ASSERT_TRUE(by_title);
    EXPECT_EQ(by_class->id, by_title->id);
    EXPECT_FALSE(desktop.find_by_title("Servidor"));
    EXPECT_FALSE(desktop.find_by_class("OutraClasse"));

    auto window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(by_class->id));
    EXPECT_TRUE(IsIconic(window)) << "the child minimised its window";
    desktop.activate(*by_class);
    EXPECT_TRUE(test::windows::wait_until([&] { return !IsIconic(window); })) << "SW_RESTORE did not restore it";
    EXPECT_TRUE(test::windows::wait_until([&] { return GetForegroundWindow() == window; }))
        << "the window did not come to the front";
    test::windows::save_screenshot(test::windows::screenshot_dir() / "windows-desktop-activated.bmp");

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(running->wait(), 0u);
}

} // namespace
} // namespace torvane::platform
