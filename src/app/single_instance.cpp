#include "app/single_instance.hpp"

#include "core/launcher_config_cache.hpp"
#include "core/util.hpp"
#include "platform/desktop_windows.hpp"
#include "platform/files.hpp"
#include "platform/instance_lock.hpp"
#include "platform/window_host.hpp"

#include <string>
#include <system_error>
#include <thread>

namespace torvane {

namespace {

bool metadata_readable(const fs::path& path)
{
    auto info = platform::file_info(path, platform::FollowLinks::No);
    return info && info->kind != platform::FileKind::Missing;
}

// Brings the running launcher's window to the front: found by its class, else by the title an
// older build shows (the cached server name).
void activate_other_instance(const fs::path& base_dir)
{
    auto desktop = platform::DesktopWindows::connect();
    auto window = desktop.find_by_class(platform::launcher_window_class);
    if (!window) {
        LauncherConfig config = load_launcher_config(base_dir);
        window = desktop.find_by_title(config.server_name.value_or("Torvane"));
    }
    if (window)
        desktop.activate(*window);
}

void start_deleter(const fs::path& path, const InstanceTimes& times)
{
    try {
        std::thread(delete_old_exe_worker, path, times).detach();
    } catch (const std::system_error&) {
        fatal("não foi possível iniciar a remoção do executável antigo");
    }
}

// The running executable's path with ".old" appended to its whole text: where the self-update
// moved the previous executable.
fs::path replaced_exe_path()
{
    fs::path path = current_exe_or_default();
    path += ".old";
    return path;
}

} // namespace

InstanceOutcome acquire_single_instance(const fs::path& base_dir, const InstanceTimes& times)
{
    platform::InstanceLock lock = platform::create_instance_mutex();
    const fs::path old_exe = replaced_exe_path();
    if (lock == platform::InstanceLock::HeldElsewhere) {
        // Only a launcher that has just replaced itself waits for its predecessor; a dead
        // predecessor's lock is let go by the kernel, which ends the wait as well.
        bool handed_over = metadata_readable(old_exe) && platform::wait_for_instance_mutex(times.handover_wait);
        if (!handed_over) {
            activate_other_instance(base_dir);
            // This process never held the lock: closing the file is all there is to do.
            platform::release_instance_mutex();
            return InstanceOutcome::Activated;
        }
    }
    // Owned, handed over, or no lock at all: an unprotected launcher still runs.
    if (metadata_readable(old_exe))
        start_deleter(old_exe, times);
    return InstanceOutcome::Proceed;
}

void delete_old_exe_worker(const fs::path& path, const InstanceTimes& times)
{
    for (int attempt = 0; attempt < times.delete_attempts; ++attempt) {
        if (platform::remove_file(path))
            return;
        if (!metadata_readable(path))
            return;
        std::this_thread::sleep_for(times.delete_pause);
    }
}

} // namespace torvane
