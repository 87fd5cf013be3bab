// Runs the Windows launcher under Wine from Linux-side end-to-end tests.
//
// The launcher is build-windows/e2e/Torvane.exe: the Windows build's main program linked with
// loopback deployment values (the service at https://localhost:<port>, the Windows build folder's
// test CA compiled in as its extra root). The Windows build's test list starts these tests with
// four variables that name it; the Wine prefix and the display come from scripts/test-windows.
#pragma once

#include "support/linux/program_run.hpp"
#include "support/tls_test_server.hpp"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace torvane::test {

struct WindowsLauncherBuild {
    std::filesystem::path launcher; // the loopback Torvane.exe (TORVANE_WINDOWS_E2E_LAUNCHER)
    // The test CA compiled into it: its certificate and key (TORVANE_WINDOWS_E2E_CA, _CA_KEY).
    TestCa ca;
    int port = 0; // its service's port on localhost (TORVANE_WINDOWS_E2E_PORT)
};

// The build named by the environment. A test that finds a variable missing or wrong fails (the
// run is broken, not optional): check with windows_launcher_build_error() in SetUp.
const WindowsLauncherBuild& windows_launcher_build();
std::string windows_launcher_build_error();

// "https://localhost:<port>", the service the loopback launcher talks to.
std::string windows_service_origin();

// A server certificate that the loopback launcher trusts, for the names and validity given.
TestCertificates windows_server_certificates(const char* names = loopback_certificate_names,
                                            CertificateValidity validity = CertificateValidity::Current);

// The path as a Windows program under Wine sees it: Z: is the Linux root ("Z:\tmp\x\Torvane.exe").
std::string windows_path(const std::filesystem::path& linux_path);

// The loopback Torvane.exe copied into a folder (a game folder: the launcher's folder is its base),
// run there under Wine.
class WineLauncher {
public:
    explicit WineLauncher(const std::filesystem::path& folder, const std::string& name = "Torvane.exe");
    const std::filesystem::path& path() const { return path_; }

    // Starts "wine <path> <arguments>" in the folder; output to "<path>.out".
    pid_t start(const std::vector<std::string>& arguments) const;
    // Runs it to its end; the exit code, or -1 when it did not exit in time.
    int run(const std::vector<std::string>& arguments, std::chrono::seconds limit = std::chrono::seconds(120)) const;
    // What the last run wrote to its standard output and error (Wine's own messages included).
    std::string output() const;

private:
    std::filesystem::path path_;
};

} // namespace torvane::test
