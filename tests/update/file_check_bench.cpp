// Benchmark of the manifest update's check phase. Builds 30,000 small files and 2 GiB of large
// files under a scratch folder, then times for each set: the first check (every file hashed, next
// to sha256sum over the same files), and the second check (answered by the hash cache).
//
//   torvane_file_check_bench [scratch folder] [--small N] [--large-mib M]
//
// The files are written just before they are read, so both readers find them in the page cache:
// the figures compare hashing and the pool, not the disk.
#include "update/file_check.hpp"
#include "update/hash_cache.hpp"

#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace torvane;

namespace {

class NullSink final : public ProgressSink {
public:
    void call(UiMessage) override {}
};

std::string hex_sha256(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 15];
    }
    return hex;
}

void fill_random(std::string& bytes, std::mt19937_64& random)
{
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = random();
        std::memcpy(bytes.data() + i, &word, 8);
    }
}

struct FileSet {
    std::string name;
    std::vector<ManifestFile> entries;
    double bytes = 0;
};

// Writes a file of random bytes and adds its manifest entry to the set.
void add_random_file(const fs::path& base, FileSet& set, const std::string& path, std::size_t size,
                     std::mt19937_64& random)
{
    std::string bytes(size, '\0');
    fill_random(bytes, random);
    fs::create_directories((base / path).parent_path());
    std::ofstream(base / path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    set.entries.push_back({.path = path, .size = static_cast<std::int64_t>(bytes.size()), .sha256 = hex_sha256(bytes)});
    set.bytes += static_cast<double>(bytes.size());
}

FileSet make_small_files(const fs::path& base, int count, std::mt19937_64& random)
{
    FileSet set {"small files", {}, 0};
    for (int i = 0; i < count; ++i) {
        std::string path = "small/d" + std::to_string(i / 300) + "/f" + std::to_string(i) + ".bin";
        add_random_file(base, set, path, 512 + random() % 7680, random); // 0.5 to 8 KiB
    }
    return set;
}

FileSet make_large_files(const fs::path& base, int total_mib, std::mt19937_64& random)
{
    FileSet set {"large files", {}, 0};
    const int file_mib = 256;
    for (int i = 0; i * file_mib < total_mib; ++i) {
        std::string path = "large/part" + std::to_string(i) + ".pak";
        add_random_file(base, set, path, static_cast<std::size_t>(std::min(file_mib, total_mib - i * file_mib)) << 20, random);
    }
    return set;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One check phase; returns its seconds and how many entries it marked.
double time_check(const fs::path& base, const FileSet& set, HashCache& cache, int workers, std::size_t& marked)
{
    NullSink sink;
    std::atomic<bool> cancel {false};
    auto start = std::chrono::steady_clock::now();
    FileCheckState state(set.entries, base, cache, sink, cancel);
    run_file_check_workers(state, workers);
    double seconds = seconds_since(start);
    marked = 0;
    for (auto flag : state.needs_download)
        marked += flag;
    return seconds;
}

// sha256sum over the set's files, one process (sequential) or as many as the check has workers.
double time_sha256sum(const fs::path& base, const FileSet& set, int processes)
{
    fs::path list = base / "list.txt";
    {
        std::ofstream out(list, std::ios::binary);
        for (const ManifestFile& entry : set.entries)
            out << (base / *entry.path).string() << '\0';
    }
    // Each process gets an equal share of the files (at most 2000 names per command line).
    std::size_t per_process = std::clamp<std::size_t>(set.entries.size() / static_cast<std::size_t>(processes), 1, 2000);
    std::string command = "xargs -0 -n " + std::to_string(per_process) + " -P " + std::to_string(processes)
                          + " sha256sum < '" + list.string() + "' > /dev/null";
    auto start = std::chrono::steady_clock::now();
    int status = std::system(command.c_str());
    double seconds = seconds_since(start);
    fs::remove(list);
    if (status != 0)
        std::fprintf(stderr, "sha256sum failed (%d)\n", status);
    return seconds;
}

void print_row(const char* what, const FileSet& set, double seconds)
{
    std::printf("  %-34s %8.3f s %12.0f files/s %10.1f MiB/s\n", what, seconds,
                static_cast<double>(set.entries.size()) / seconds, set.bytes / seconds / 1048576.0);
}

} // namespace

int main(int argc, char** argv)
{
    fs::path scratch = fs::temp_directory_path() / "torvane-file-check-bench";
    int small_count = 30000;
    int large_mib = 2048;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--small" && i + 1 < argc)
            small_count = std::atoi(argv[++i]);
        else if (argument == "--large-mib" && i + 1 < argc)
            large_mib = std::atoi(argv[++i]);
        else
            scratch = argument;
    }
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    const int workers = file_check_worker_count();
    std::printf("check workers: %d (processors: %u)\n", workers, std::thread::hardware_concurrency());

    std::mt19937_64 random(20261205);
    for (const FileSet& set : {make_small_files(scratch, small_count, random), make_large_files(scratch, large_mib, random)}) {
        std::printf("%s: %zu files, %.1f MiB\n", set.name.c_str(), set.entries.size(), set.bytes / 1048576.0);
        HashCache cache;
        std::size_t marked = 0;
        double first = time_check(scratch, set, cache, workers, marked);
        print_row("first check (hashing)", set, first);
        if (marked != 0)
            std::printf("  unexpected: %zu files marked\n", marked);
        double sequential = time_sha256sum(scratch, set, 1);
        print_row("sha256sum, one process", set, sequential);
        double parallel = time_sha256sum(scratch, set, workers);
        print_row(("sha256sum, " + std::to_string(workers) + " processes").c_str(), set, parallel);
        std::printf("  ratio sha256sum time / check time: %.2f (one process), %.2f (%d processes)\n",
                    sequential / first, parallel / first, workers);

        auto save_start = std::chrono::steady_clock::now();
        save_hash_cache(scratch, cache);
        double save = seconds_since(save_start);
        auto load_start = std::chrono::steady_clock::now();
        HashCache loaded = load_hash_cache(scratch);
        double load = seconds_since(load_start);
        double second = time_check(scratch, set, loaded, workers, marked);
        print_row("second check (cache)", set, second);
        std::printf("  cache file: %zu entries, saved in %.3f s, loaded in %.3f s\n", loaded.size(), save, load);
        fs::remove(hash_cache_path(scratch));
    }
    fs::remove_all(scratch);
    return 0;
}
