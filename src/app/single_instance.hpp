// The single-instance rule of the GUI mode: one launcher per user. A second start brings the
// running launcher's window to the front and exits; a start right after a self-update waits for
// its predecessor to let the lock go and then deletes the replaced executable.
#pragma once

#include <chrono>
#include <filesystem>

namespace torvane {

namespace fs = std::filesystem;

enum class InstanceOutcome {
    Activated, // another launcher runs: this one exits with 0
    Proceed,   // this process is the launcher (or runs without the lock when it could not be made)
};

// How long the hand-over waits and how the replaced executable is retried.
struct InstanceTimes {
    std::chrono::milliseconds handover_wait {20000};
    int delete_attempts = 30;
    std::chrono::milliseconds delete_pause {500};
};

// Takes the instance lock. When another launcher holds it: with the replaced executable present
// (a self-update hand-over) waits up to times.handover_wait for it; otherwise, or when the wait
// runs out, finds the other launcher's window (by its class, else by the cached configuration's
// "ServerName" or "Torvane" as its title), restores and activates it, and returns Activated.
// On Proceed, a replaced executable left behind is deleted by a detached thread.
InstanceOutcome acquire_single_instance(const fs::path& base_dir, const InstanceTimes& times = {});

// Deletes the file, retrying up to times.delete_attempts times times.delete_pause apart while it
// still exists; a file that cannot be deleted stays for the next start. Reports nothing.
void delete_old_exe_worker(const fs::path& path, const InstanceTimes& times = {});

} // namespace torvane
