// The check phase of the manifest update: a small pool of workers decides, for every manifest
// entry, whether the file on disk must be downloaded, answering from the hash cache when a file's
// size and modification time are unchanged.
#pragma once

#include "core/ui_message.hpp"
#include "core/update_manifest.hpp"
#include "update/hash_cache.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

namespace torvane {

inline constexpr const char checking_files_text[] = "Verificando arquivos...";

// A manifest path below the base folder: split at '/' and '\', empty pieces skipped, every other
// piece appended as one component. The caller has already refused "..", ':' and leading slashes.
std::filesystem::path join_relative_path(const std::filesystem::path& base_folder, std::string_view path);

// Digest texts compared as the manifest path does: both trimmed, equal length, ASCII letters
// without case.
bool hash_text_equal(std::string_view a, std::string_view b);

// Workers for a machine with this many processors: 0 counts as 4, then clamped to 2..8.
int file_check_worker_count(unsigned processors);
// The same for this machine.
int file_check_worker_count();

// One check phase's shared state. The entries, the base folder, the sink and the cancel flag are
// the caller's and must outlive the phase.
struct FileCheckState {
    // Milliseconds since the phase began; the default reads the steady clock.
    using Clock = std::function<std::int64_t()>;

    FileCheckState(const std::vector<ManifestFile>& entries, std::filesystem::path base_folder, HashCache& cache,
                   ProgressSink& sink, const std::atomic<bool>& cancel, Clock elapsed_ms = {});

    const std::vector<ManifestFile>& entries;
    const std::filesystem::path base_folder;
    std::atomic<std::size_t> next_index {0};
    std::atomic<std::size_t> done {0};
    // One slot per entry, written only by the worker that took its index; read after the join.
    std::vector<std::uint8_t> needs_download;
    // Only read while the workers run, so look-ups take no lock; the digests they compute are added
    // once all of them have ended.
    HashCache& cache;
    Clock elapsed_ms;
    // When the last check report was sent, in milliseconds since the phase began.
    std::atomic<std::int64_t> last_report_ms {0};
    // The number of entries, at least 1.
    double total;
    ProgressSink& sink;
    const std::atomic<bool>& cancel;
};

// Runs worker_count workers over the entries and returns when all have ended and the digests they
// computed are in the cache. Sends at most one
// "Verificando arquivos..." report per 50 ms with the entry's path as detail, none in the first
// 50 ms. A raised cancel flag stops the workers before their next entry.
void run_file_check_workers(FileCheckState& state, int worker_count);

} // namespace torvane
