// Benchmark (not a test): the managed update of a 2,000-file, 1 GiB release served by nginx on
// loopback, next to curl fetching the same files with 12 parallel transfers from the same server.
//   build/torvane_managed_update_benchmark [folder for the 3 GiB of files, default the temp folder]
// Prints bytes per second of the fresh install and of curl (and their ratio), and files per second
// of the re-check of an installed release and of a new release whose files are all reused.
#include "release_keys.hpp"
#include "release_service.hpp"
#include "support/sample_client.hpp"
#include "update/client_update.hpp"
#include "update/install_folders.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

using namespace torvane;
namespace fs = std::filesystem;

constexpr std::size_t file_count = 2000;
constexpr std::uint64_t total_bytes = 1ull << 30;

class NullSink final : public ProgressSink {
public:
    void call(UiMessage) override {}
};

double seconds_of(const auto& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

[[noreturn]] void die(const std::string& message)
{
    std::fprintf(stderr, "benchmark: %s\n", message.c_str());
    std::exit(1);
}

// The sample client's files plus asset blobs up to file_count files and total_bytes bytes.
void write_client(const fs::path& folder)
{
    auto written = test::write_sample_client(folder, {.asset_blobs = 0});
    std::uint64_t used = 0;
    for (const std::string& path : written)
        used += fs::file_size(folder / path);
    std::size_t blobs = file_count - written.size() - 2; // the publisher adds the two signatures
    std::uint64_t each = (total_bytes - used) / blobs;
    for (std::size_t i = 0; i < blobs; ++i)
        test::write_asset_blob(folder, test::patterned_bytes(i + 1 == blobs ? total_bytes - used - each * i : each,
                                                              static_cast<unsigned>(i + 1)));
}

Result<fs::path> update(const test::ReleaseService& service, const fs::path& game)
{
    NullSink sink;
    std::atomic<bool> cancel = false;
    return update_client(service.update_service(), game, resolve_active_release(game), sink, cancel);
}

// curl with 12 parallel transfers over the release's files; false when curl failed.
bool curl_fetch(const test::ReleaseService& service, const publisher::PublishedRelease& release, const fs::path& work)
{
    fs::path config = work / "curl.config";
    fs::path ca = work / "ca.pem";
    std::ofstream(ca) << service.ca_pem();
    std::ofstream out(config);
    for (const ReleaseEntry& entry : release.list.entries)
        out << "url = \"" << service.client_base_url() << "/releases/" << release.release_id << "/" << entry.path
            << "\"\noutput = \"" << (work / "curl" / entry.path).string() << "\"\n";
    out.close();
    std::string command = "curl --silent --show-error --no-progress-meter --fail --parallel --parallel-max 12 --create-dirs --cacert '" +
                          ca.string() + "' --config '" + config.string() + "'";
    return std::system(command.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!test::built_in_key_is_dev_key())
        die("this build embeds another release key");
    fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    fs::path work = base / ("torvane-benchmark-" + std::to_string(::getpid()));
    fs::create_directories(work);

    std::printf("preparing %zu files, %llu bytes...\n", file_count, static_cast<unsigned long long>(total_bytes));
    test::ReleaseService service;
    if (!service.running())
        die("nginx did not start");
    write_client(work / "client");
    auto release = service.publish(work / "client");
    if (!release)
        die(release.error());
    fs::remove_all(work / "client");
    std::uint64_t bytes = 0;
    for (const ReleaseEntry& entry : release->list.entries)
        bytes += entry.size;
    std::printf("release %s: %zu files, %llu bytes\n", release->release_id.c_str(), release->list.entries.size(),
                static_cast<unsigned long long>(bytes));

    // Twice each, alternating, so neither side has the page cache to itself.
    double launcher_seconds = 1e300, curl_seconds = 1e300;
    for (int round = 0; round < 2; ++round) {
        fs::remove_all(work / "curl");
        curl_seconds = std::min(curl_seconds, seconds_of([&] {
            if (!curl_fetch(service, *release, work))
                die("curl failed");
        }));
        fs::remove_all(work / "game");
        fs::create_directories(work / "game");
        launcher_seconds = std::min(launcher_seconds, seconds_of([&] {
            auto folder = update(service, work / "game");
            if (!folder)
                die(folder.error());
        }));
    }
    double launcher_rate = static_cast<double>(bytes) / launcher_seconds;
    double curl_rate = static_cast<double>(bytes) / curl_seconds;
    std::printf("fresh install:  %8.3f s  %8.1f MiB/s\n", launcher_seconds, launcher_rate / 1048576);
    std::printf("curl x12:       %8.3f s  %8.1f MiB/s\n", curl_seconds, curl_rate / 1048576);
    std::printf("ratio launcher / curl: %.2f\n", launcher_rate / curl_rate);

    double recheck = seconds_of([&] {
        auto folder = update(service, work / "game");
        if (!folder)
            die(folder.error());
    });
    std::printf("re-check, same release:      %8.3f s  %10.0f files/s\n", recheck,
                static_cast<double>(release->list.entries.size()) / recheck);

    // A new release id with the same content: every file is linked from the installed release and
    // verified by SHA-256 (the asset index and its signature change with the id and are downloaded).
    fs::path again = work / "client-again";
    fs::copy(release->release_folder, again, fs::copy_options::recursive);
    fs::remove(again / "Main.exe.sig");
    fs::remove(again / "Assets/assets.idx.sig");
    auto next = service.publish(again);
    if (!next)
        die(next.error());
    fs::remove_all(again);
    double reuse = seconds_of([&] {
        auto folder = update(service, work / "game");
        if (!folder)
            die(folder.error());
    });
    std::printf("next release, all reused:    %8.3f s  %10.0f files/s  %8.1f MiB/s verified\n", reuse,
                static_cast<double>(next->list.entries.size()) / reuse, static_cast<double>(bytes) / reuse / 1048576);

    fs::remove_all(work);
    return 0;
}
