// The asset phase of the signed update: before anything is downloaded, twelve workers bring every
// entry to process into the release folder from what is already on disk. A file that is already
// right stays, a file the installed release has with the same content is hard-linked (or copied),
// a file the player may have edited is never overwritten, and the rest is marked for download.
#pragma once

#include "platform/result.hpp"
#include "core/ui_message.hpp"
#include "update/progress_throttle.hpp"
#include "update/release_list.hpp"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace torvane {

inline constexpr int asset_worker_count = 12;

// ASCII-lower-cased path to entry; a later duplicate wins.
using ReleaseEntryIndex = std::unordered_map<std::string, const ReleaseEntry*>;
ReleaseEntryIndex index_by_lower_path(std::span<const ReleaseEntry> entries);

// True when the path's own metadata can be read (a symbolic link counts, whatever it points to).
bool metadata_exists(const std::filesystem::path& path);

// True when the path is a regular file (not a folder, not a symbolic link nor any other reparse
// point: checked without following links) whose size and SHA-256 equal the entry's. Every error
// gives false.
bool file_matches_entry(const std::filesystem::path& path, const ReleaseEntry& entry);

// Shared by reference with every worker. The fields above the line are the job; the ones below
// are the pool's state, read by the driver after the join.
struct AssetTaskContext {
    std::span<const ReleaseEntry* const> entries; // the entries to process, in list order
    std::filesystem::path release_folder;
    std::filesystem::path game_folder;
    std::filesystem::path installed_folder;
    bool same_release = false;
    const ReleaseEntryIndex& installed_map; // empty when there is no installed list
    const std::atomic<bool>& cancel_flag;
    ProgressSink& sink;
    bool fresh_install = false;

    // One byte per entry: 1 when it must be downloaded. An entry that ended in an error keeps 0.
    std::vector<std::uint8_t> needs_download = std::vector<std::uint8_t>(entries.size(), 0);
    std::atomic<std::uint32_t> next_index {0};
    std::atomic<std::uint32_t> processed {0};
    std::mutex error_mutex;
    std::optional<std::string> first_error; // under error_mutex
    ProgressThrottle throttle;
};

// Runs exactly asset_worker_count workers over the entries and returns when all have ended.
void run_asset_workers(AssetTaskContext& context);

// One worker: takes entries until none is left, an error is recorded or the update is cancelled.
void asset_worker(AssetTaskContext& context);

} // namespace torvane
