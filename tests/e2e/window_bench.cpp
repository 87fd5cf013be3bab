// Window benchmark (not a test): starts the launcher on a private X server and reports the time
// from the process start to the first presented frame, the processor use of the main screen and
// of the still settings dialog, the cost of opening the dialog, and the resident memory.
//
//     build/torvane_window_bench [--escala-dpi 96|192]
#include "support/temp_dir.hpp"
#include "support/xvfb_display.hpp"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using steady = std::chrono::steady_clock;

namespace {

// User plus system time of a process, in seconds.
double cpu_seconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// A line of /proc/<pid>/status in kilobytes (VmRSS, VmHWM).
long status_kib(pid_t pid, const std::string& key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(key + ":"))
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

double share_of_core(pid_t pid, std::chrono::seconds span)
{
    double before = cpu_seconds(pid);
    auto start = steady::now();
    std::this_thread::sleep_for(span);
    double seconds = std::chrono::duration<double>(steady::now() - start).count();
    return (cpu_seconds(pid) - before) / seconds * 100;
}

} // namespace

// Starts the launcher in the game folder and waits until its window shows something other than
// black; returns the process and the milliseconds from its start (negative when it never did).
std::pair<pid_t, double> start_until_first_frame(const torvane::test::XvfbDisplay& display,
    const torvane::test::TempDir& game, const fs::path& launcher)
{
    auto started = steady::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::string display_env = "DISPLAY=" + display.name();
        std::string runtime_env = "XDG_RUNTIME_DIR=" + (game.path() / "runtime").string();
        std::string config_env = "XDG_CONFIG_HOME=" + (game.path() / "config").string();
        std::string home_env = "HOME=" + game.path().string();
        char* envp[] = {display_env.data(), runtime_env.data(), config_env.data(), home_env.data(), nullptr};
        char* args[] = {launcher.string().data(), const_cast<char*>("--teste"), nullptr};
        ::execve(launcher.c_str(), args, envp);
        ::_exit(127);
    }

    // The first frame: the window is there and shows something other than black.
    double first_frame_ms = -1;
    while (steady::now() - started < 20s) {
        auto windows = display.windows_of_class("PellamoorLauncherMain");
        if (!windows.empty() && display.is_viewable(windows.front())) {
            if (auto geometry = display.geometry(windows.front())) {
                // Seven rows across the window: reading the whole window pixel by pixel takes
                // tens of milliseconds at 192 dpi, which would be counted into the start.
                bool drawn = false;
                for (int band = 1; band < 8 && !drawn; ++band) {
                    torvane::test::WindowGeometry row = *geometry;
                    row.y += geometry->height * band / 8;
                    row.height = 1;
                    auto image = display.capture(row);
                    for (std::size_t i = 0; image && i < image->pixels.size() && !drawn; i += 7)
                        drawn = (image->pixels[i] & 0xFFFFFF) != 0;
                }
                if (drawn) {
                    first_frame_ms = std::chrono::duration<double, std::milli>(steady::now() - started).count();
                    break;
                }
            }
        }
        std::this_thread::sleep_for(1ms);
    }

    return {pid, first_frame_ms};
}

int main(int argc, char** argv)
{
    int dpi = 96;
    if (argc == 3 && std::string(argv[1]) == "--escala-dpi")
        dpi = std::stoi(argv[2]);
    float scale = dpi / 96.0f;
    auto display = torvane::test::XvfbDisplay::start({.width = 2600, .height = 1600, .dpi = dpi});
    if (!display) {
        std::fprintf(stderr, "no X server\n");
        return 1;
    }
    torvane::test::TempDir game;
    fs::create_directories(game.path() / "runtime");
    fs::permissions(game.path() / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    fs::path launcher = game.path() / "torvane";
    fs::copy_file(TORVANE_E2E_LAUNCHER, launcher);

    // A first start writes the configuration cache and the game settings; a player's later starts
    // find them, so both are measured.
    auto [first_pid, first_start_ms] = start_until_first_frame(*display, game, launcher);
    ::kill(first_pid, SIGKILL);
    ::waitpid(first_pid, nullptr, 0);
    auto [pid, first_frame_ms] = start_until_first_frame(*display, game, launcher);

    std::this_thread::sleep_for(2s); // past the intro
    double main_screen = share_of_core(pid, 10s);
    long rss_main = status_kib(pid, "VmRSS");

    auto windows = display->windows_of_class("PellamoorLauncherMain");
    auto geometry = windows.empty() ? std::nullopt : display->geometry(windows.front());
    double open_cpu_ms = -1;
    double dialog = -1;
    if (geometry) {
        int x = geometry->x + static_cast<int>(718 * scale);
        int y = geometry->y + static_cast<int>(607 * scale);
        display->xdotool({"mousemove", std::to_string(x), std::to_string(y)});
        std::this_thread::sleep_for(300ms);
        double before = cpu_seconds(pid);
        display->xdotool({"click", "1"});
        std::this_thread::sleep_for(1s); // the snapshot, its blur and the 0.3 s opening
        open_cpu_ms = (cpu_seconds(pid) - before) * 1000;
        display->xdotool({"mousemove", std::to_string(geometry->x + 5), std::to_string(geometry->y + 300)});
        std::this_thread::sleep_for(500ms);
        dialog = share_of_core(pid, 10s);
    }
    long rss_end = status_kib(pid, "VmRSS");
    long peak = status_kib(pid, "VmHWM");
    ::kill(pid, SIGTERM);
    std::this_thread::sleep_for(200ms);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);

    std::printf("janela do launcher, Xvfb a %d dpi (escala %.2f)\n", dpi, scale);
    std::printf("primeiro quadro apresentado: %.0f ms após o início do processo (primeira partida: %.0f ms)\n",
        first_frame_ms, first_start_ms);
    std::printf("tela principal, 10 s a 60 Hz: %.1f %% de um núcleo\n", main_screen);
    std::printf("abrir as configurações (1 s após o clique): %.0f ms de processador\n", open_cpu_ms);
    std::printf("configurações abertas e paradas, 10 s: %.2f %% de um núcleo\n", dialog);
    std::printf("memória residente: %ld KiB na tela principal, %ld KiB no fim, pico %ld KiB\n", rss_main, rss_end, peak);
    return 0;
}
