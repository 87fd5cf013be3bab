#include "support/linux/child_process.hpp"

#include <csignal>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace torvane::test {

Environment current_environment()
{
    Environment environment;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        auto equals = text.find('=');
        if (equals != std::string::npos)
            environment[text.substr(0, equals)] = text.substr(equals + 1);
    }
    return environment;
}

Child::Child(const std::filesystem::path& program, const std::vector<std::string>& arguments,
             const Environment& environment, std::optional<int> output_fd)
{
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    if (output_fd)
        posix_spawn_file_actions_adddup2(&actions, output[1], *output_fd);
    std::vector<std::string> words {program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> pairs;
    for (const auto& [name, value] : environment)
        pairs.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& pair : pairs)
        envp.push_back(pair.data());
    envp.push_back(nullptr);
    int rc = ::posix_spawnp(&pid_, words[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    to_child_ = input[1];
    from_child_ = output[0];
    if (rc != 0)
        throw std::runtime_error("posix_spawn " + program.string());
}

Child::~Child()
{
    close_input();
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    ::close(from_child_);
}

std::optional<std::string> Child::line(std::chrono::milliseconds within)
{
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready {from_child_, POLLIN, 0};
        char c;
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) != 1 || ::read(from_child_, &c, 1) != 1)
            return std::nullopt;
        if (c == '\n')
            return text;
        text += c;
    }
}

void Child::close_input()
{
    if (to_child_ >= 0)
        ::close(to_child_);
    to_child_ = -1;
}

void Child::kill()
{
    if (pid_ > 0) // never -1, which would signal every process of the user
        ::kill(pid_, SIGKILL);
}

void Child::terminate()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        wait();
    }
}

int Child::wait()
{
    if (pid_ > 0) {
        ::waitpid(pid_, &status_, 0);
        pid_ = -1;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

std::optional<int> Child::ended_within(std::chrono::milliseconds within)
{
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

} // namespace torvane::test
