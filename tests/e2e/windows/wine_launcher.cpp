#include "wine_launcher.hpp"

#include "platform/files.hpp"

#include <cstdlib>

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

} // namespace torvane::test
