// Starting the game client from the window: the executable's name, its signature check and the
// start in the game folder with "-launcher".
#pragma once

#include "ui/app_state.hpp"

#include <string>

namespace torvane {

// The client executable's file name: outside managed mode a "GameExe" with at least one
// non-blank character, exactly as configured; "Main.exe" in every other case.
std::string game_exe_name(const AppState& app);

// Starts the game: verifies the client's signature (managed mode), starts it in the game folder
// with "-launcher" and queues Minimize and ArmCloseTimer; a failure queues the error box and
// makes Play ready again.
void launch_game(AppState& app);

} // namespace torvane
