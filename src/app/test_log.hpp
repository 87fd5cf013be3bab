// The log files of the headless test modes.
#pragma once

#include "platform/result.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace torvane {

// Test logs are written whole: the lines joined with "\r\n" and a final "\r\n".
std::string join_log_lines(const std::vector<std::string>& lines);

// Writes the joined lines to the log at path, creating its folder. The file is created or
// truncated in place before it is written, never replaced through a temporary: a full disk or a
// folder that takes no new files must not leave the previous run's log, and its "OK", behind.
Status write_test_log(const std::filesystem::path& path, const std::vector<std::string>& lines);

} // namespace torvane
