#include "ui/app_state.hpp"

#include "support/temp_dir.hpp"
#include "support/thread_failure.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace torvane {
namespace {

// Each background job of the window started through the real services on a system where no
// thread can start: the process ends with one line instead of the standard library's text.
TEST(AppServicesDeathTest, AWorkerThatCannotStartEndsTheProcessWithOneLine)
{
    test::TempDir folder;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    auto sender = [] { return UiSender(std::make_shared<UiChannel>(), [] {}); };
    struct Case {
        const char* name;
        std::function<void(const AppServices&)> start;
    };
    const Case cases[] = {
        {"status probe", [&](const AppServices& s) { s.start_status_probe(sender(), folder.path(), stop, true); }},
        {"configuration fetch", [&](const AppServices& s) { s.start_config_fetch(sender()); }},
        {"signed update", [&](const AppServices& s) { s.start_sealed_update(sender(), folder.path(), folder.path(), stop, true); }},
        {"manifest update",
            [&](const AppServices& s) {
                s.start_manifest_update(ManifestUpdateInputs{sender(), folder.path(), UpdateConfig{.enabled = true}, stop, true});
            }},
    };
    for (const Case& c : cases) {
        EXPECT_DEATH(
            {
                AppServices services = default_app_services();
                if (!test::make_thread_starts_fail())
                    std::_Exit(3);
                c.start(services);
            },
            "torvane: failed to spawn thread")
            << c.name;
    }
}

} // namespace
} // namespace torvane
