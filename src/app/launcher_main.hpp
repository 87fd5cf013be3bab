// The program's entry: chooses the mode from the command line and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace torvane {

// Runs the mode chosen by the arguments (the program path not included) and returns the exit code.
int launcher_main(const std::vector<std::string>& arguments);

} // namespace torvane
