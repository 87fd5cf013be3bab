// The log files of the headless test modes.
#pragma once

#include "platform/result.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace torvane {

// Test logs are written whole: the lines joined with "\r\n" and a final "\r\n".
std::string join_log_lines(const std::vector<std::string>& lines);

// Replaces the log at path with the joined lines, creating its folder; the file is either the old
// log or the complete new one.
Status write_test_log(const std::filesystem::path& path, const std::vector<std::string>& lines);

} // namespace torvane
