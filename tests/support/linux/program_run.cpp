#include "support/linux/program_run.hpp"

#include "platform/files.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace torvane::test {

pid_t start_program(const std::vector<std::string>& arguments, const std::filesystem::path& output_file,
                    const std::vector<std::string>* environment)
{
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    if (environment) {
        for (const std::string& entry : *environment)
            envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environment ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << arguments.front();
        return -1;
    }
    return pid;
}

int wait_program(pid_t pid, std::chrono::seconds limit)
{
    if (pid <= 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "the program did not finish in " << limit.count() << " s";
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<int> exit_within(pid_t pid, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

ProgramRun run_program(const std::vector<std::string>& arguments, const std::filesystem::path& output_file,
                       std::chrono::seconds limit)
{
    ProgramRun run;
    run.exit_code = wait_program(start_program(arguments, output_file), limit);
    run.output = platform::read_file(output_file, platform::document_read_limit).value_or("");
    return run;
}

std::vector<std::string> crlf_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the log ends with a line break: " << text;
    return lines;
}

} // namespace torvane::test
