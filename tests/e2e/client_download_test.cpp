// The launcher executable's client download mode, run as a player would run it, against nginx.
#include "app/client_test_mode.hpp"
#include "platform/files.hpp"
#include "release_keys.hpp"
#include "release_service.hpp"
#include "test_launcher.hpp"
#include "support/linux/program_run.hpp"
#include "support/plain_http_server.hpp"
#include "support/sample_client.hpp"
#include "update/asset_workers.hpp"
#include "update/digest.hpp"
#include "update/install_folders.hpp"
#include "update/self_update.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

namespace torvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The launcher copied into a game folder of its own, so that its folder is the game folder.
class LauncherCopy {
public:
    explicit LauncherCopy(const fs::path& game_folder) : path_(game_folder / "torvane")
    {
        test::copy_test_launcher(path_);
    }
    const fs::path& path() const { return path_; }

    // Starts it with the arguments; its output goes to a file beside it.
    pid_t start(const std::vector<std::string>& arguments) const
    {
        std::vector<std::string> command {path_.string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return test::start_program(command, path_.string() + ".out");
    }

    // Runs it to its end (killed after two minutes); the exit code, or -1 when it did not exit.
    int run(const std::vector<std::string>& arguments) const { return wait(start(arguments), 120s); }

    static int wait(pid_t pid, std::chrono::seconds limit) { return test::wait_program(pid, limit); }

private:
    fs::path path_;
};

std::vector<std::string> log_lines(const fs::path& game_folder)
{
    std::ifstream in(client_test_log_path(game_folder), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(text.ends_with("\r\n")) << text;
    return test::crlf_lines(text);
}

// Below a folder: the download temporaries, and the files of the list that are present but wrong.
struct InstallState {
    std::vector<std::string> temporaries;
    std::vector<std::string> partial;
    std::size_t complete = 0;
};
InstallState install_state(const fs::path& release_folder, const ReleaseList& list)
{
    InstallState state;
    std::error_code error;
    for (const auto& item : fs::recursive_directory_iterator(release_folder, error))
        if (is_download_temporary_name(item.path().filename().string()))
            state.temporaries.push_back(item.path().string());
    for (const ReleaseEntry& entry : list.entries) {
        fs::path path = release_folder / entry.path;
        if (!fs::exists(fs::symlink_status(path)))
            continue;
        if (file_matches_entry(path, entry))
            ++state.complete;
        else
            state.partial.push_back(entry.path);
    }
    return state;
}

// The list paths of a release's asset blobs, in list order.
std::vector<std::string> asset_blobs(const ReleaseList& list)
{
    std::vector<std::string> blobs;
    for (const ReleaseEntry& entry : list.entries)
        if (is_asset_blob_name(entry.path))
            blobs.push_back(entry.path);
    return blobs;
}

// Writes bytes over the start of a file, its size unchanged.
void overwrite_start(const fs::path& path, std::string_view bytes)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

struct stat status_of(const fs::path& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

// Gives a file the access and modification times of an earlier status.
void put_times_back(const fs::path& path, const struct stat& st)
{
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// The release files served between two counts, by path.
std::multiset<std::string> served_since(const std::multiset<std::string>& before, const std::multiset<std::string>& now)
{
    std::multiset<std::string> since;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::inserter(since, since.end()));
    return since;
}

class ClientDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_UNLESS_BUILT_WITH_DEV_KEY();
        ASSERT_TRUE(service_) << "nginx did not start on port " << TORVANE_E2E_PORT
                              << " (reconfigure with another -DTORVANE_E2E_PORT if it is taken)";
        ASSERT_TRUE(service_->running());
        test::write_sample_client(client_.path(), {.asset_blobs = 4});
    }

    publisher::PublishedRelease publish()
    {
        auto published = service_->publish(client_.path());
        EXPECT_TRUE(published) << published.error();
        return published.value_or(publisher::PublishedRelease {});
    }

    std::unique_ptr<test::ReleaseService> service_ = std::make_unique<test::ReleaseService>(
        test::NginxOptions {.port = TORVANE_E2E_PORT}, test::e2e_server_certificates());
    test::TempDir client_;
    test::TempDir game_;
    LauncherCopy launcher_ {game_.path()};
};

TEST_F(ClientDownloadTest, InstallsTheClientAndWritesTheLog)
{
    auto published = publish();
    ASSERT_EQ(launcher_.run({"--baixar-cliente", "--teste"}), 0) << game_.read("torvane.out");

    fs::path folder = game_.path() / "Versions" / published.release_id;
    auto lines = log_lines(game_.path());
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "pasta: " + game_.path().string());
    EXPECT_EQ(lines[1], "canal criptografado: true");
    EXPECT_EQ(lines[2], "geração atual: " + game_.path().string());
    EXPECT_TRUE(lines[3].ends_with(" s  Buscando atualizações...  0%  ")) << lines[3];
    EXPECT_TRUE(lines[lines.size() - 2].starts_with("OK em ")) << lines[lines.size() - 2];
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(" s, jogo em " + folder.string())) << lines[lines.size() - 2];
    EXPECT_EQ(lines.back(), "assinatura do Main: OK");

    EXPECT_EQ(resolve_active_release(game_.path()), folder);
    InstallState state = install_state(folder, published.list);
    EXPECT_EQ(state.complete, published.list.entries.size());
    EXPECT_TRUE(state.temporaries.empty());
}

TEST_F(ClientDownloadTest, ReplacesItselfWithThePublishedLinuxLauncher)
{
    auto published = publish();
    // The "new" launcher: the same program with a trailing mark, which an ELF file ignores.
    std::string old_bytes = platform::read_file(launcher_.path(), launcher_max_size).value();
    std::string new_bytes = old_bytes + "\nnew build\n";
    std::string sha = hex_lower(sha256_bytes(new_bytes));
    platform::create_folders(service_->root() / "files").value();
    platform::write_file(service_->root() / "files" / "torvane-linux-x86_64", new_bytes).value();
    platform::write_file(service_->root() / "files" / "Torvane.exe", "MZ the Windows launcher").value();
    platform::write_file(service_->root() / "launcher.json",
                         R"({"Launcher":{"Sha256":")" + hex_lower(sha256_bytes("MZ the Windows launcher")) +
                             R"(","Size":23},"LauncherLinux":{"Sha256":")" + sha + R"(","Size":)" +
                             std::to_string(new_bytes.size()) + "}}")
        .value();

    ASSERT_EQ(launcher_.run({"--baixar-cliente"}), 0) << game_.read("torvane.out");
    auto lines = log_lines(game_.path());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "launcher trocado: true");
    EXPECT_TRUE(platform::read_file(launcher_.path(), launcher_max_size).value() == new_bytes);
    EXPECT_TRUE(platform::read_file(launcher_.path().string() + ".old", launcher_max_size).value() == old_bytes);
    EXPECT_EQ(::access(launcher_.path().c_str(), X_OK), 0);
    EXPECT_EQ(lines.back(), "assinatura do Main: OK");

    // The new launcher runs, finds itself up to date and leaves the files alone.
    ASSERT_EQ(launcher_.run({"--baixar-cliente"}), 0) << game_.read("torvane.out");
    EXPECT_EQ(log_lines(game_.path())[2], "launcher trocado: false");
}

// Files lost or rewritten behind the launcher's back (an antivirus quarantine, a disk tool) are
// fetched again on the next start, and only those; an install whose files kept their size and time
// starts without reading them.
TEST_F(ClientDownloadTest, AnInstallThatLostFilesIsRepairedAndOnlyThose)
{
    auto published = publish();
    ASSERT_EQ(launcher_.run({"--baixar-cliente", "--teste"}), 0) << game_.read("torvane.out");
    const fs::path folder = game_.path() / "Versions" / published.release_id;
    const std::vector<std::string> blobs = asset_blobs(published.list);
    ASSERT_GE(blobs.size(), 2u);

    ASSERT_TRUE(fs::remove(folder / "glew32.dll"));
    const struct stat written = status_of(folder / blobs[0]);
    overwrite_start(folder / blobs[0], "XXXX");
    // A write moves the modification time; put it clearly past the install's own.
    struct stat later = written;
    later.st_mtim.tv_sec += 5;
    put_times_back(folder / blobs[0], later);

    auto before = service_->release_files_served(published.release_id);
    ASSERT_EQ(launcher_.run({"--baixar-cliente", "--teste"}), 0) << game_.read("torvane.out");
    EXPECT_EQ(served_since(before, service_->release_files_served(published.release_id)),
              (std::multiset<std::string> {"glew32.dll", blobs[0]}));
    auto lines = log_lines(game_.path());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.find("Cliente pronto para jogar.") != std::string::npos; }));
    EXPECT_EQ(lines.back(), "assinatura do Main: OK");
    InstallState repaired = install_state(folder, published.list);
    EXPECT_EQ(repaired.complete, published.list.entries.size());
    EXPECT_TRUE(repaired.partial.empty()) << repaired.partial.front();

    // Other bytes of the same size under the same times: the start trusts what it recorded and
    // never reads the blob, so it is neither found out nor fetched.
    const struct stat kept = status_of(folder / blobs[1]);
    overwrite_start(folder / blobs[1], "YYYY");
    put_times_back(folder / blobs[1], kept);
    before = service_->release_files_served(published.release_id);
    ASSERT_EQ(launcher_.run({"--baixar-cliente", "--teste"}), 0) << game_.read("torvane.out");
    EXPECT_TRUE(served_since(before, service_->release_files_served(published.release_id)).empty());
    EXPECT_EQ(log_lines(game_.path()).back(), "assinatura do Main: OK");
    EXPECT_EQ(game_.read(fs::path("Versions") / published.release_id / blobs[1]).substr(0, 4), "YYYY");
}

// A hard link or a symbolic link planted at a name the run writes, leading to a file outside the
// game folder: the outside file stays as it was, and the run ends as it would without the link.
TEST_F(ClientDownloadTest, LinksPlantedAtTheRunsNamesAreNeverWrittenThrough)
{
    auto published = publish();
    // A new launcher to replace the copy with: the same program with a trailing mark.
    const std::string old_bytes = platform::read_file(launcher_.path(), launcher_max_size).value();
    const std::string new_bytes = old_bytes + "\nnew build\n";
    platform::create_folders(service_->root() / "files").value();
    platform::write_file(service_->root() / "files" / "torvane-linux-x86_64", new_bytes).value();
    platform::write_file(service_->root() / "launcher.json",
                         R"({"LauncherLinux":{"Sha256":")" + hex_lower(sha256_bytes(new_bytes)) + R"(","Size":)" +
                             std::to_string(new_bytes.size()) + "}}")
        .value();

    enum class Link { Hard, Symbolic };
    struct Case {
        std::string name; // below the game folder
        std::vector<std::string> arguments;
    };
    const std::vector<std::string> client_only = {"--baixar-cliente", "--teste"};
    const Case cases[] = {
        {"active-release.next", client_only},
        {"Versions/" + published.release_id + "/release.pmx.next", client_only},
        {"Data/Launcher/cliente_teste.log", client_only},
        {"torvane.part", {"--baixar-cliente"}}, // the self-update's download
    };
    for (const Case& c : cases) {
        for (Link link : {Link::Hard, Link::Symbolic}) {
            SCOPED_TRACE(c.name + (link == Link::Hard ? " (hard link)" : " (symbolic link)"));
            test::TempDir outside_dir;
            test::TempDir game;
            LauncherCopy launcher(game.path());
            const fs::path outside = outside_dir.write("outside", "kept\n");
            const fs::path planted = game.path() / c.name;
            fs::create_directories(planted.parent_path());
            if (link == Link::Hard)
                fs::create_hard_link(outside, planted);
            else
                fs::create_symlink(outside, planted);

            EXPECT_EQ(launcher.run(c.arguments), 0) << game.read("torvane.out");
            EXPECT_EQ(outside_dir.read("outside"), "kept\n");
            EXPECT_EQ(fs::hard_link_count(outside), 1u);
            EXPECT_FALSE(fs::is_symlink(planted));
            auto lines = log_lines(game.path());
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(lines.back(), "assinatura do Main: OK");
            EXPECT_EQ(game.read("active-release"), published.release_id);
            EXPECT_TRUE(game.read(fs::path("Versions") / published.release_id / "release.pmx") == published.list_bytes);
            if (c.arguments.size() == 1) {
                EXPECT_EQ(lines[2], "launcher trocado: true");
                EXPECT_TRUE(platform::read_file(launcher.path(), launcher_max_size).value_or("") == new_bytes);
                EXPECT_FALSE(platform::same_file(launcher.path(), outside));
            }
        }
    }
}

// Holds back the handlers of a server until their pause ends or the pauses are ended.
class Pauses {
public:
    void pause(std::chrono::milliseconds length)
    {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, length, [this] { return ending_; });
    }
    // Wakes every pause, now and later.
    void end()
    {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        ended_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool ending_ = false;
};

// The seconds a log line of the client update begins with ("  61.3 s  Buscando ...").
double seconds_of(const std::string& line) { return std::atof(line.c_str()); }

TEST_F(ClientDownloadTest, ASlowSelfUpdateEitherCompletesOrGivesUpAndTheClientIsInstalled)
{
    // Two players start at once. The service publishes a new launcher whose size and digest are
    // right, and serves its body to the first who asks one byte every 20 s, each within the 60 s
    // read time-out (the whole would take weeks), and to the second at 20 KB/s, a slow connection
    // that needs more than a read time-out for it.
    const std::string new_launcher = test::patterned_bytes(1'300'000, 7);
    Pauses pauses;
    std::atomic<int> asked = 0;
    test::PlainHttpServer files;
    // Before the server stops: it waits for its handlers.
    struct EndPauses {
        Pauses& pauses;
        ~EndPauses() { pauses.end(); }
    } end_pauses {pauses};
    files.routes().Get("/files/torvane-linux-x86_64", [&](const httplib::Request&, httplib::Response& res) {
        const bool drip = asked++ == 0;
        const std::size_t piece = drip ? 1 : 2000;
        const auto pause = drip ? std::chrono::milliseconds(20'000) : std::chrono::milliseconds(100);
        res.set_content_provider(new_launcher.size(), "application/octet-stream",
                                 [&, piece, pause](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset > 0)
                                         pauses.pause(pause);
                                     return sink.write(new_launcher.data() + offset, std::min(piece, new_launcher.size() - offset));
                                 });
    });
    files.start();
    service_.reset();
    service_ = std::make_unique<test::ReleaseService>(
        test::NginxOptions {.port = TORVANE_E2E_PORT, .files_upstream_port = files.port()}, test::e2e_server_certificates());
    ASSERT_TRUE(service_->running());
    auto published = publish();
    platform::write_file(service_->root() / "launcher.json",
                         R"({"LauncherLinux":{"Sha256":")" + hex_lower(sha256_bytes(new_launcher)) + R"(","Size":)" +
                             std::to_string(new_launcher.size()) + "}}")
        .value();
    test::TempDir other_game;
    LauncherCopy other(other_game.path());
    const std::string old_launcher = platform::read_file(launcher_.path(), launcher_max_size).value();

    pid_t first = launcher_.start({"--baixar-cliente"});
    pid_t second = other.start({"--baixar-cliente"});
    ASSERT_EQ(LauncherCopy::wait(first, 180s), 0) << game_.read("torvane.out");
    ASSERT_EQ(LauncherCopy::wait(second, 180s), 0) << other_game.read("torvane.out");
    EXPECT_EQ(asked, 2);

    int replaced = 0;
    for (const auto* game : {&game_, &other_game}) {
        auto lines = log_lines(game->path());
        ASSERT_GE(lines.size(), 6u);
        const bool swapped = lines[2] == "launcher trocado: true";
        EXPECT_TRUE(swapped || lines[2] == "launcher trocado: false") << lines[2];
        replaced += swapped;
        const std::string now = platform::read_file(game->path() / "torvane", launcher_max_size).value_or("");
        EXPECT_TRUE(now == (swapped ? new_launcher : old_launcher));
        // Either way the self-update took longer than a read time-out, then the client came.
        EXPECT_GE(seconds_of(lines[4]), 60.0) << lines[4];
        EXPECT_TRUE(lines[lines.size() - 2].starts_with("OK em ")) << lines[lines.size() - 2];
        EXPECT_EQ(lines.back(), "assinatura do Main: OK");
        EXPECT_EQ(resolve_active_release(game->path()), game->path() / "Versions" / published.release_id);
    }
    // The one served at 20 KB/s, and only that one.
    EXPECT_EQ(replaced, 1);
}

TEST_F(ClientDownloadTest, ServiceDownEndsWithTheError)
{
    service_->stop();
    EXPECT_EQ(launcher_.run({"--baixar-cliente", "--teste"}), 1) << game_.read("torvane.out");
    auto lines = log_lines(game_.path());
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("ERRO: ")) << lines.back();
    EXPECT_FALSE(fs::exists(game_.path() / "active-release"));
}

TEST_F(ClientDownloadTest, KilledInTheMiddleOfADownloadCompletesOnTheNextRun)
{
    test::write_asset_blob(client_.path(), test::patterned_bytes(6'000'000, 1));
    test::write_asset_blob(client_.path(), test::patterned_bytes(5'000'000, 2));
    auto published = publish();
    fs::path folder = game_.path() / "Versions" / published.release_id;
    service_->restart(400'000); // bytes per second per connection
    ASSERT_TRUE(service_->running());

    pid_t pid = launcher_.start({"--baixar-cliente", "--teste"});
    // Wait until a large download is under way, then kill the process without warning.
    bool caught = false;
    for (auto deadline = std::chrono::steady_clock::now() + 60s; !caught && std::chrono::steady_clock::now() < deadline;) {
        std::error_code error;
        for (const auto& item : fs::recursive_directory_iterator(folder, error))
            if (is_download_temporary_name(item.path().filename().string()) && item.file_size(error) > 500'000)
                caught = true;
        std::this_thread::sleep_for(20ms);
    }
    ::kill(pid, SIGKILL);
    LauncherCopy::wait(pid, 10s);
    ASSERT_TRUE(caught) << "no download was caught in progress";

    InstallState killed = install_state(folder, published.list);
    EXPECT_FALSE(killed.temporaries.empty());
    EXPECT_TRUE(killed.partial.empty()) << killed.partial.front();
    EXPECT_LT(killed.complete, published.list.entries.size());
    EXPECT_FALSE(fs::exists(game_.path() / "active-release"));

    service_->restart(0);
    ASSERT_TRUE(service_->running());
    ASSERT_EQ(launcher_.run({"--baixar-cliente", "--teste"}), 0) << game_.read("torvane.out");
    InstallState done = install_state(folder, published.list);
    EXPECT_EQ(done.complete, published.list.entries.size());
    EXPECT_TRUE(done.partial.empty());
    EXPECT_TRUE(done.temporaries.empty()) << done.temporaries.front();
    EXPECT_EQ(resolve_active_release(game_.path()), folder);
    EXPECT_EQ(log_lines(game_.path()).back(), "assinatura do Main: OK");
}

} // namespace
} // namespace torvane
