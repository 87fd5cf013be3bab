#include "update/asset_workers.hpp"

#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "update/digest.hpp"
#include "update/download_workers.hpp"
#include "update/path_safety.hpp"
#include "update/worker_pool.hpp"

namespace torvane {

ReleaseEntryIndex index_by_lower_path(std::span<const ReleaseEntry> entries)
{
    ReleaseEntryIndex index;
    index.reserve(entries.size());
    for (const ReleaseEntry& entry : entries)
        index[ascii_lower(entry.path)] = &entry;
    return index;
}

bool file_matches_entry(const std::filesystem::path& path, const ReleaseEntry& entry)
{
    auto info = platform::file_info(path, platform::FollowLinks::No);
    if (!info || info->kind != platform::FileKind::Regular || info->reparse_point || info->size != entry.size)
        return false;
    auto digest = sha256_file_hex(path);
    return digest && *digest == entry.sha256;
}

bool metadata_exists(const std::filesystem::path& path)
{
    auto info = platform::file_info(path, platform::FollowLinks::No);
    return info && info->kind != platform::FileKind::Missing;
}

namespace {

// A link to the source under a temporary name beside the target; a copy, flushed to disk, when
// the link cannot be made (another volume, a file system without links). The copy is a new file:
// whatever stands at the temporary's name is removed, never written through.
bool link_or_copy(const std::filesystem::path& source, const std::filesystem::path& temporary, bool allow_link)
{
    if (allow_link) {
        std::error_code error;
        std::filesystem::create_hard_link(source, temporary, error);
        if (!error)
            return true;
    }
    return platform::copy_to_new_file(source, temporary).has_value();
}

// Brings the source into place at the target through a temporary, so that the target's name
// only ever shows a whole file; with an entry, only a file that matches it. True when the target
// now holds the file.
bool reuse_into_place(const std::filesystem::path& source, const std::filesystem::path& target,
                      const ReleaseEntry* verify_against)
{
    auto temporary = download_temporary_path(target);
    if (!temporary)
        return false;
    bool placed = link_or_copy(source, *temporary, verify_against != nullptr) &&
                  (!verify_against || file_matches_entry(*temporary, *verify_against)) &&
                  platform::replace_rename(*temporary, target);
    if (!placed)
        (void)platform::remove_file(*temporary);
    return placed;
}

// Whether the entry must be downloaded, or the error that stops the pool.
Result<bool> decide(const AssetTaskContext& context, const ReleaseEntry& entry)
{
    std::filesystem::path target = push_relative_path(context.release_folder, entry.path);
    TRY(ensure_inside_base(context.game_folder, target));
    TRY(platform::create_folders(target.parent_path()));

    if (is_user_file(entry.path)) {
        // The player's file stays whatever it holds.
        if (metadata_exists(target))
            return false;
        std::filesystem::path source = push_relative_path(context.installed_folder, entry.path);
        TRY(ensure_inside_base(context.game_folder, source));
        if (metadata_exists(source) && path_key(source) != path_key(target))
            return !reuse_into_place(source, target, nullptr);
        return true;
    }

    if (metadata_exists(target) && file_matches_entry(target, entry))
        return false;
    // Filling the installed folder itself: there is nothing else to reuse.
    if (context.same_release)
        return true;
    auto installed = context.installed_map.find(ascii_lower(entry.path));
    if (installed == context.installed_map.end() || installed->second->sha256 != entry.sha256 ||
        installed->second->size != entry.size)
        return true;
    std::filesystem::path source = push_relative_path(context.installed_folder, installed->second->path);
    if (path_key(source) == path_key(target) || !metadata_exists(source))
        return true;
    return !reuse_into_place(source, target, &entry);
}

void send_asset_report(AssetTaskContext& context, std::uint32_t processed)
{
    std::size_t to_process = context.entries.empty() ? 1 : context.entries.size();
    ProgressReport report {
        .sub_progress = 0,
        .progress = progress_fraction(processed, to_process),
        .bytes_per_second = 0,
        .text = context.fresh_install ? "Preparando o download..." : "Verificando arquivos...",
        .detail = files_progress_detail(processed, to_process),
    };
    context.sink.call(ui_message::Progress {std::move(report)});
}

bool has_error(AssetTaskContext& context)
{
    std::lock_guard lock(context.error_mutex);
    return context.first_error.has_value();
}

} // namespace

void asset_worker(AssetTaskContext& context)
{
    for (;;) {
        if (has_error(context))
            return;
        std::uint32_t index = context.next_index.fetch_add(1);
        if (index >= context.entries.size())
            return;
        auto decision = decide(context, *context.entries[index]);
        if (decision) {
            context.needs_download[index] = *decision ? 1 : 0;
        } else {
            std::lock_guard lock(context.error_mutex);
            if (!context.first_error)
                context.first_error = decision.error();
        }
        std::uint32_t processed = context.processed.fetch_add(1) + 1;
        if (context.throttle.try_claim())
            send_asset_report(context, processed);
        if (context.cancel_flag.load())
            return;
    }
}

void run_asset_workers(AssetTaskContext& context)
{
    run_scoped_workers(asset_worker_count, [&context] { asset_worker(context); });
}

} // namespace torvane
