// The program's command-line arguments as UTF-8 text.
#pragma once

#include <string>
#include <vector>

namespace torvane::platform {

// The arguments after the program's own name, each as UTF-8 (on Windows from the wide command
// line, whatever the ANSI code page; on Linux the bytes as given).
std::vector<std::string> command_line_arguments(int argc, char** argv);

} // namespace torvane::platform
