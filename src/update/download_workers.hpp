// The download phase of the signed update: twelve workers fetch the entries that the asset phase
// could not produce locally. Each file streams into a temporary beside its target, is checked by
// size and SHA-256 on the fly, and is renamed into place only when complete and correct.
#pragma once

#include "core/http_agent.hpp"
#include "platform/result.hpp"
#include "core/ui_message.hpp"
#include "update/progress_throttle.hpp"
#include "update/publish_batch.hpp"
#include "update/release_list.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace torvane {

inline constexpr int download_worker_count = 12;
inline constexpr int download_attempts = 4;
// The pause before attempt n (n > 0) is n times this.
inline constexpr std::chrono::milliseconds download_retry_pause {800};
// Bytes read from the body at a time, into one buffer per worker.
inline constexpr std::size_t download_piece_size = 65'536;

// Waits between attempts. The update passes a plain sleep; tests record the pauses instead.
using PauseFunction = std::function<void(std::chrono::milliseconds)>;
void sleep_for_pause(std::chrono::milliseconds pause);

// A download temporary's name: the target's path, ".tmp-" and 24 lower-case hex digits of 12
// random bytes. Fails only when the system's random source does.
Result<std::filesystem::path> download_temporary_path(const std::filesystem::path& target);

// Shared by reference with every worker. The fields above the line are the job; the ones below
// are the pool's state, read by the driver after the join.
struct DownloadTaskContext {
    std::span<const ReleaseEntry* const> entries; // in list order
    const HttpAgent& agent;
    std::string client_base_url; // files come from "{}/releases/{}/{}" (base, release id, path)
    std::string release_id;
    std::filesystem::path release_folder;
    const std::atomic<bool>& cancel_flag;
    ProgressSink& sink;
    bool fresh_install = false;
    std::uint64_t total_bytes = 0; // the sum of the entries' sizes
    PauseFunction pause = sleep_for_pause;
    // Names a file's temporary, once per file (tests give a name known beforehand).
    std::function<Result<std::filesystem::path>(const std::filesystem::path& target)> temporary_path =
        download_temporary_path;

    std::atomic<std::uint32_t> next_index {0};
    std::mutex error_mutex;
    std::optional<std::string> first_error; // under error_mutex; never "cancelado"
    std::atomic<bool> stop_flag {false};    // set together with first_error
    std::atomic<std::uint64_t> downloaded_bytes {0};
    std::atomic<std::uint32_t> finished_downloads {0}; // complete and verified
    ProgressThrottle throttle;
    PublishBatch published; // verified files on their way to their final names
};

// The sum of the entries' sizes.
std::uint64_t total_size(std::span<const ReleaseEntry* const> entries);

// Runs exactly download_worker_count workers over the entries and returns when all have ended and
// every verified file has its final name, after a cancellation too.
// Afterwards first_error holds the error that stopped the pool, if any; a cancellation stores
// nothing (the driver sees the cancel flag).
void run_download_workers(DownloadTaskContext& context);

// One worker: takes entries until none is left, the pool stops or the update is cancelled.
void download_worker(DownloadTaskContext& context);

} // namespace torvane
