#include "app/launcher_main.hpp"

#include "app/launch_mode.hpp"
#include "app/modes.hpp"
#include "app/single_instance.hpp"
#include "core/overloaded.hpp"
#include "core/util.hpp"
#include "ui/window_loop.hpp"

namespace torvane {

int launcher_main(const std::vector<std::string>& arguments)
{
    // BaseDir is computed once, before the mode is chosen; every mode works below it.
    const fs::path base_dir = exe_dir();
    return std::visit(
        Overloaded {
            [&](const launch_mode::Gui& gui) {
                // Another launcher was brought to the front instead: nothing more to do.
                if (acquire_single_instance(base_dir) == InstanceOutcome::Activated)
                    return 0;
                return run_window(base_dir, gui.test_flag);
            },
            [&](const launch_mode::GenerateManifest& m) {
                return generate_manifest(m.folder, m.output, m.show_result);
            },
            [&](const launch_mode::UpdateTest& m) { return run_update_test(base_dir, m.test_flag); },
            [&](const launch_mode::ClientTest& m) { return run_client_test(base_dir, m.test_flag); },
            [&](const launch_mode::Bench& m) { return run_bench(base_dir, m.report, m.scale); },
            [&](const launch_mode::Capture& m) {
                return run_capture(base_dir, m.image, m.scale, m.settings, m.data_file);
            },
        },
        choose_mode(arguments));
}

} // namespace torvane
