// A program in a process of its own, with pipes on its standard input and output: the second
// processes of the lock and single-instance tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace torvane::test {

using Environment = std::map<std::string, std::string>;

// The test process's own environment.
Environment current_environment();

class Child {
public:
    // Starts the program (looked up on PATH when it names no folder) with the arguments and the
    // environment; output_fd, when given, is one more descriptor that leads to its output pipe.
    // Throws when no process can be started.
    Child(const std::filesystem::path& program, const std::vector<std::string>& arguments,
          const Environment& environment, std::optional<int> output_fd = std::nullopt);
    // Closes its input, kills it if it still runs and waits for it.
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next line the program writes; none when it writes none within the time given.
    std::optional<std::string> line(std::chrono::milliseconds within = std::chrono::seconds(15));
    // Closes the program's input: a lock holder or a probe lets its lock go and ends.
    void close_input();
    void kill();
    // Asks the program to end (SIGTERM) and waits for it.
    void terminate();
    // The exit code, or -1 when the program was killed by a signal.
    int wait();
    // The exit code when the program ends within the time given; none while it still runs.
    std::optional<int> ended_within(std::chrono::milliseconds within);

private:
    pid_t pid_ = -1;
    int status_ = 0;
    int to_child_ = -1;
    int from_child_ = -1;
};

} // namespace torvane::test
