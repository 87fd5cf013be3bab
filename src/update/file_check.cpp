#include "update/file_check.hpp"

#include "core/threads.hpp"
#include "platform/unicode.hpp"
#include "platform/path_text.hpp"
#include "update/sha256.hpp"

#include <algorithm>
#include <utility>
#include <thread>

namespace torvane {

namespace {

constexpr std::int64_t report_interval_ms = 50;

FileCheckState::Clock steady_clock_since_now()
{
    auto began = std::chrono::steady_clock::now();
    return [began] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began).count();
    };
}

// Digests a worker computed, as cache key and value, for the cache once the phase is over.
using ComputedDigests = std::vector<std::pair<std::string, std::string>>;

bool entry_needs_download(const FileCheckState& state, const ManifestFile& entry, ComputedDigests& computed)
{
    const std::string& path = *entry.path;
    std::filesystem::path target = join_relative_path(state.base_folder, path);
    if (entry.only_if_missing) {
        // Whatever stands there (another content, even a folder) satisfies a user-editable file.
        auto info = platform::file_info(target, platform::FollowLinks::Yes);
        return !info || info->kind == platform::FileKind::Missing;
    }
    auto info = platform::file_info(target, platform::FollowLinks::No);
    if (!info || info->kind != platform::FileKind::Regular)
        return true;
    if (entry.size < 0 || info->size != static_cast<std::uint64_t>(entry.size))
        return true;
    std::string key = hash_cache_key(path, *info);
    const std::string* digest = nullptr;
    if (auto found = state.cache.find(key); found != state.cache.end()) {
        digest = &found->second;
    } else {
        auto hashed = sha256_file(target);
        if (!hashed)
            return true;
        computed.emplace_back(std::move(key), std::move(*hashed));
        digest = &computed.back().second;
    }
    return !entry.sha256 || !hash_text_equal(*digest, *entry.sha256);
}

void report_progress(FileCheckState& state, std::size_t done, const std::string& path)
{
    std::int64_t now = state.elapsed_ms();
    std::int64_t last = state.last_report_ms.load();
    if (now - last < report_interval_ms || !state.last_report_ms.compare_exchange_strong(last, now))
        return;
    state.sink.call(ui_message::Progress {{
        .sub_progress = 0.0,
        .progress = static_cast<double>(done) / state.total,
        .bytes_per_second = 0.0,
        .text = checking_files_text,
        .detail = path,
    }});
}

void file_check_worker(FileCheckState& state, ComputedDigests& computed)
{
    while (!state.cancel.load()) {
        std::size_t index = state.next_index.fetch_add(1);
        if (index >= state.entries.size())
            return;
        const ManifestFile& entry = state.entries[index];
        if (!entry.path)
            fatal("file check given an entry without a path");
        state.needs_download[index] = entry_needs_download(state, entry, computed) ? 1 : 0;
        std::size_t done = state.done.fetch_add(1) + 1;
        report_progress(state, done, *entry.path);
    }
}

} // namespace

std::filesystem::path join_relative_path(const std::filesystem::path& base_folder, std::string_view path)
{
    std::filesystem::path joined = base_folder;
    while (!path.empty()) {
        std::size_t end = path.find_first_of("/\\");
        std::string_view piece = path.substr(0, end);
        if (!piece.empty())
            joined /= platform::utf8_path(piece);
        path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
    }
    return joined;
}

bool hash_text_equal(std::string_view a, std::string_view b)
{
    return platform::equal_ignoring_ascii_case(platform::trim_unicode_white_space(a),
                                               platform::trim_unicode_white_space(b));
}

int file_check_worker_count(unsigned processors)
{
    if (processors == 0)
        processors = 4;
    return static_cast<int>(std::clamp(processors, 2u, 8u));
}

int file_check_worker_count() { return file_check_worker_count(std::thread::hardware_concurrency()); }

FileCheckState::FileCheckState(const std::vector<ManifestFile>& entries, std::filesystem::path base_folder,
                               HashCache& cache, ProgressSink& sink, const std::atomic<bool>& cancel, Clock elapsed_ms)
    : entries(entries)
    , base_folder(std::move(base_folder))
    , needs_download(entries.size(), 0)
    , cache(cache)
    , elapsed_ms(elapsed_ms ? std::move(elapsed_ms) : steady_clock_since_now())
    , total(static_cast<double>(std::max<std::size_t>(entries.size(), 1)))
    , sink(sink)
    , cancel(cancel)
{
}

void run_file_check_workers(FileCheckState& state, int worker_count)
{
    std::vector<ComputedDigests> computed(static_cast<std::size_t>(std::max(worker_count, 1)));
    {
        std::vector<std::jthread> workers;
        workers.reserve(computed.size());
        for (ComputedDigests& digests : computed)
            workers.push_back(spawn_joined([&state, &digests] { file_check_worker(state, digests); }));
    }
    for (ComputedDigests& digests : computed)
        for (auto& [key, digest] : digests)
            state.cache.insert_or_assign(std::move(key), std::move(digest));
}

} // namespace torvane
