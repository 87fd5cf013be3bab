// The log files of the headless test modes.
#pragma once

#include "platform/result.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace torvane {

// Test logs are written whole: the lines joined with "\r\n" and a final "\r\n".
std::string join_log_lines(const std::vector<std::string>& lines);

// Writes the joined lines to the log at path, creating its folder. The log is created new, never
// written through a file or link at its name, and never through a temporary and a rename: the
// previous log is removed first, so a full disk still finds the room it took. Where its name
// cannot be removed (a folder that takes no changes), the previous log is emptied and written in
// place, as long as no other name leads to it; either way the previous run's log, and its "OK",
// never outlive the write.
Status write_test_log(const std::filesystem::path& path, const std::vector<std::string>& lines);

} // namespace torvane
