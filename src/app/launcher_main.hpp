// The program's entry: chooses the mode from the command line and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace torvane {

// Runs the mode chosen by the arguments (the program path not included) and returns the exit code.
int launcher_main(const std::vector<std::string>& arguments);

// Releases the single-instance lock when this process holds it; does nothing otherwise. Called
// after every mode, as the last step before the process ends.
void release_instance_mutex();

} // namespace torvane
