#include "wine_launcher.hpp"

#include "platform/files.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace torvane::test {

namespace fs = std::filesystem;

namespace {

struct LoadedBuild {
    WindowsLauncherBuild build;
    std::string error;
};

LoadedBuild load_build()
{
    LoadedBuild loaded;
    const char* launcher = std::getenv("TORVANE_WINDOWS_E2E_LAUNCHER");
    const char* ca = std::getenv("TORVANE_WINDOWS_E2E_CA");
    const char* ca_key = std::getenv("TORVANE_WINDOWS_E2E_CA_KEY");
    const char* port = std::getenv("TORVANE_WINDOWS_E2E_PORT");
    if (!launcher || !ca || !ca_key || !port) {
        loaded.error = "TORVANE_WINDOWS_E2E_LAUNCHER, _CA, _CA_KEY and _PORT are not all set: these tests are run "
                       "by the Windows build's test list (scripts/test --windows)";
        return loaded;
    }
    loaded.build = {.launcher = launcher, .port = std::atoi(port)};
    if (!fs::is_regular_file(loaded.build.launcher))
        loaded.error = "no Windows launcher at " + loaded.build.launcher.string();
    else if (!fs::is_regular_file(ca) || !fs::is_regular_file(ca_key))
        loaded.error = std::string("no test CA at ") + ca + " and " + ca_key;
    else if (loaded.build.port <= 0 || loaded.build.port > 65535)
        loaded.error = std::string("no port in TORVANE_WINDOWS_E2E_PORT: ") + port;
    else if (!std::getenv("WINEPREFIX"))
        loaded.error = "WINEPREFIX is not set: scripts/test-windows makes a Wine prefix for the run";
    if (loaded.error.empty())
        loaded.build.ca = read_test_ca(ca, ca_key);
    return loaded;
}

const LoadedBuild& loaded_build()
{
    static const LoadedBuild loaded = load_build();
    return loaded;
}

} // namespace

const WindowsLauncherBuild& windows_launcher_build() { return loaded_build().build; }
std::string windows_launcher_build_error() { return loaded_build().error; }

std::string windows_service_origin() { return "https://localhost:" + std::to_string(windows_launcher_build().port); }

TestCertificates windows_server_certificates(const char* names, CertificateValidity validity)
{
    return issue_server_certificate(windows_launcher_build().ca, names, validity);
}

std::string windows_path(const fs::path& linux_path)
{
    std::string text = "Z:" + fs::absolute(linux_path).lexically_normal().string();
    for (char& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

pid_t start_program(const std::vector<std::string>& arguments, const fs::path& output_file)
{
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
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

ProgramRun run_program(const std::vector<std::string>& arguments, const fs::path& output_file, std::chrono::seconds limit)
{
    ProgramRun run;
    run.exit_code = wait_program(start_program(arguments, output_file), limit);
    run.output = platform::read_file(output_file, platform::document_read_limit).value_or("");
    return run;
}

WineLauncher::WineLauncher(const fs::path& folder, const std::string& name) : path_(folder / name)
{
    fs::create_directories(folder);
    fs::copy_file(windows_launcher_build().launcher, path_, fs::copy_options::overwrite_existing);
}

pid_t WineLauncher::start(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> command {"wine", path_.string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return start_program(command, path_.string() + ".out");
}

int WineLauncher::run(const std::vector<std::string>& arguments, std::chrono::seconds limit) const
{
    return wait_program(start(arguments), limit);
}

std::string WineLauncher::output() const
{
    return platform::read_file(path_.string() + ".out", platform::document_read_limit).value_or("");
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
