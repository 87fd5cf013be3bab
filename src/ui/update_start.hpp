// The UI thread's side of an update: which path runs, the one update thread, and the client
// declared ready at once when automatic updating is off.
#pragma once

#include "ui/app_state.hpp"

namespace torvane {

// Starts the update check unless one is running: the signed release path when managed_update,
// else the manifest path when the configuration's "Update" is enabled, else the client is ready.
void start_update_check(AppState& app);

// The manifest path's thread body: runs the manifest update and sends exactly one Finished.
void manifest_update_worker(ManifestUpdateInputs inputs);

} // namespace torvane
