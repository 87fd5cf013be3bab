// Programs that the end-to-end tests run as a player would (the launcher, Wine, its tools): started
// with their output in a file, waited for within a limit.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace torvane::test {

struct ProgramRun {
    int exit_code = -1; // -1: it did not exit by itself in time (then killed) or could not start
    std::string output; // standard output and standard error
};

// Starts a program (argv[0] searched on PATH), its standard input /dev/null, its standard output
// and error the file; with the environment given ("NAME=value" entries), else the test's own.
// -1, and a test failure, when it cannot be started.
pid_t start_program(const std::vector<std::string>& arguments, const std::filesystem::path& output_file,
                    const std::vector<std::string>* environment = nullptr);
// Waits for a started program; kills it (and fails the test) after the limit. Its exit code, or -1.
int wait_program(pid_t pid, std::chrono::seconds limit);
// The exit code of a started program once it ends within the limit (128 + the signal that ended
// it); none while it still runs.
std::optional<int> exit_within(pid_t pid, std::chrono::milliseconds limit);
ProgramRun run_program(const std::vector<std::string>& arguments, const std::filesystem::path& output_file,
                       std::chrono::seconds limit = std::chrono::seconds(120));

// The lines of a test log (each ended by "\r\n"); a log not ended so fails the test.
std::vector<std::string> crlf_lines(const std::string& text);

} // namespace torvane::test
