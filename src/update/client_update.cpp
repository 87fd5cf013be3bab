#include "update/client_update.hpp"

#include "core/service_endpoints.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/unicode.hpp"
#include "update/asset_index.hpp"
#include "update/asset_workers.hpp"
#include "update/digest.hpp"
#include "update/http_answers.hpp"
#include "update/install_folders.hpp"
#include "update/install_record.hpp"
#include "update/path_safety.hpp"
#include "update/self_update.hpp"
#include "update/signatures.hpp"
#include "update/sizes.hpp"

#include <array>

namespace torvane {

namespace fs = std::filesystem;

UpdateService default_update_service()
{
    return UpdateService {
        .client_base_url = service::client_base_url(),
        .make_agent =
            [] {
                return http_agent(service::release_update_timeouts.connect_seconds,
                                  service::release_update_timeouts.read_seconds);
            },
        .self_update = [](const std::atomic<bool>& cancel) { return self_update_launcher(cancel); },
    };
}

namespace {

void report(ProgressSink& sink, double fraction, std::string text)
{
    sink.call(ui_message::Progress {ProgressReport {fraction, fraction, 0, std::move(text), {}}});
}

Result<std::string> fetch_release_list_once(const HttpAgent& agent, const std::string& url)
{
    auto response = agent.get(url);
    if (!response)
        return failure(http_failure_text(response.error()));
    if (auto header = response->header("Content-Length")) {
        // A value that does not fit 32 bits counts as unparsable; the body limit then decides.
        auto length = parse_header_u32(*header);
        if (length && *length > service::release_list_limit)
            return failure(release_list_too_large_message);
    }
    std::string body = TRY(response->read_up_to(service::release_list_limit + 1));
    if (body.size() > service::release_list_limit)
        return failure(release_list_too_large_message);
    return body;
}

// Writes the bytes to the temporary, flushes them to disk and renames the temporary onto the
// target, so the target's name shows the old file or the whole new one, even after a power cut.
Status publish_file(const fs::path& game_folder, const fs::path& target, std::string_view bytes)
{
    fs::path temporary = with_suffix(target, replace_temporary_suffix);
    // The target's folders, which are the temporary's, must lead nowhere else; what stands at the
    // temporary's own name (a file left by a crash, a link planted there) is removed without being
    // followed, never written through, and does not fail the run.
    TRY(ensure_inside_base(game_folder, target));
    platform::OutputFile file = TRY(platform::OutputFile::create(temporary, platform::ExistingFile::Replace));
    TRY(file.write(bytes));
    TRY(file.sync_and_close());
    TRY(platform::replace_rename(temporary, target));
    (void)platform::sync_folder(target.parent_path());
    return {};
}

// The entry's file in the release folder, as its own metadata shows it; an unreadable one counts as
// missing.
platform::FileInfo metadata_of(const fs::path& release_folder, const ReleaseEntry& entry)
{
    return platform::file_info(push_relative_path(release_folder, entry.path), platform::FollowLinks::No)
        .value_or(platform::FileInfo {});
}

// The entries whose download flag the asset phase set, in order.
std::vector<const ReleaseEntry*> marked_entries(const AssetTaskContext& assets)
{
    std::vector<const ReleaseEntry*> marked;
    for (std::size_t i = 0; i < assets.entries.size(); ++i)
        if (assets.needs_download[i])
            marked.push_back(assets.entries[i]);
    return marked;
}

} // namespace

Result<std::string> fetch_release_list(const HttpAgent& agent, const UpdateService& service)
{
    std::string url = service.client_base_url + service::current_release_list_path;
    Result<std::string> body;
    for (int attempt = 0; attempt < service::release_list_attempts; ++attempt) {
        if (attempt > 0)
            service.pause(release_list_retry_pause * attempt);
        body = fetch_release_list_once(agent, url);
        if (body)
            break;
    }
    return body;
}

bool next_entry_to_recheck(const ReleaseEntry& entry, const ReleaseEntryIndex& installed)
{
    static constexpr std::array<std::string_view, 4> always = {"Main.exe", "Main.exe.sig", "Assets/assets.idx",
                                                               "Assets/assets.idx.sig"};
    for (std::string_view name : always)
        if (platform::equal_ignoring_ascii_case(entry.path, name))
            return true;
    if (is_user_file(entry.path))
        return true;
    auto found = installed.find(ascii_lower(entry.path));
    return found == installed.end() || found->second->size != entry.size || found->second->sha256 != entry.sha256;
}

Result<fs::path> update_client(const fs::path& game_folder, const fs::path& installed_folder, ProgressSink& sink,
                               const std::atomic<bool>& cancel_flag)
{
    return update_client(default_update_service(), game_folder, installed_folder, sink, cancel_flag);
}

Result<fs::path> update_client(const UpdateService& service, const fs::path& game_folder,
                               const fs::path& installed_folder, ProgressSink& sink,
                               const std::atomic<bool>& cancel_flag)
{
    report(sink, 0, "Buscando atualizações...");
    auto agent = service.make_agent();
    if (!agent)
        return failure(tls_unavailable_message);

    std::string list_bytes = TRY(fetch_release_list(*agent, service));
    ReleaseList list = TRY(parse_release_list(list_bytes));

    TRY(platform::create_folders(game_folder));
    // Held until this function returns, on every path.
    platform::UpdateLock lock = TRY(take_update_lock(game_folder));

    // The installed folder's own list; any failure to read it only means a fresh release folder.
    Result<ReleaseList> installed = read_installed_list(game_folder, installed_folder);
    bool same_release = installed && installed->release_id == list.release_id;
    fs::path release_folder = same_release ? installed_folder : release_folder_path(game_folder, list.release_id);
    TRY(ensure_inside_base(game_folder, release_folder));
    TRY(platform::create_folders(release_folder));
    sweep_temp_files(release_folder);

    ReleaseEntryIndex installed_map;
    if (installed)
        installed_map = index_by_lower_path(installed->entries);
    // A new release folder's record is written below; only the installed release's is read.
    InstallRecord record = same_release ? read_install_record(release_folder, list.release_id) : InstallRecord {};
    std::vector<const ReleaseEntry*> to_process;
    // What each file the run leaves alone showed here, which its line in the new record repeats.
    std::vector<std::optional<platform::FileInfo>> unchanged(list.entries.size());
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const ReleaseEntry& entry = list.entries[i];
        if (same_release && !next_entry_to_recheck(entry, installed_map)) {
            platform::FileInfo info = metadata_of(release_folder, entry);
            if (file_unchanged_since_verified(record, entry, info)) {
                unchanged[i] = info;
                continue;
            }
        }
        to_process.push_back(&entry);
    }
    bool fresh_install = !installed && !metadata_exists(installed_folder / "Main.exe");

    report(sink, 0, fresh_install ? "Preparando o download..." : "Verificando arquivos...");
    AssetTaskContext assets {
        .entries = to_process,
        .release_folder = release_folder,
        .game_folder = game_folder,
        .installed_folder = installed_folder,
        .same_release = same_release,
        .installed_map = installed_map,
        .cancel_flag = cancel_flag,
        .sink = sink,
        .fresh_install = fresh_install,
    };
    run_asset_workers(assets);
    if (cancel_flag.load())
        return failure(cancelled_text);
    if (assets.first_error)
        return failure(*assets.first_error);

    std::vector<const ReleaseEntry*> downloads = marked_entries(assets);
    if (!downloads.empty()) {
        std::uint64_t total = total_size(downloads);
        auto available = free_disk_space(release_folder);
        if (available && *available < total + free_space_reserve)
            return failure("espaço insuficiente no disco: o jogo precisa de " +
                           format_disk_size(total + free_space_reserve) + " livres.");
        report(sink, 0, download_progress_text(fresh_install, 0, total));
        DownloadTaskContext download {
            .entries = downloads,
            .agent = *agent,
            .client_base_url = service.client_base_url,
            .release_id = list.release_id,
            .release_folder = release_folder,
            .cancel_flag = cancel_flag,
            .sink = sink,
            .fresh_install = fresh_install,
            .total_bytes = total,
            .pause = service.pause,
        };
        run_download_workers(download);
        if (cancel_flag.load())
            return failure(cancelled_text);
        if (download.first_error)
            return failure(*download.first_error);
    }

    ReleaseIdBytes index_id = TRY(read_asset_index_header(release_folder));
    if (hex_lower(index_id) != list.release_id)
        return failure(index_not_of_release_message);
    TRY(verify_client_signature(release_folder / "Main.exe"));
    // Downloads are written without execute bits; the game is started from this file.
    TRY(platform::set_executable(release_folder / "Main.exe"));

    // Every file is in place and verified now, or was found unchanged since it was: recorded before
    // the list names the release, and only when the record differs (a start that changed nothing
    // writes nothing).
    std::string record_text = install_record_text(release_folder, list.release_id, list.entries, unchanged);
    if (record.state != InstallRecord::State::Read || record_text != record.text)
        TRY(publish_file(game_folder, release_folder / install_record_file_name, record_text));
    TRY(publish_file(game_folder, release_folder / installed_list_file_name, list_bytes));
    // A release that lives in the game folder itself is not named in active-release.
    if (path_key(release_folder) != path_key(game_folder))
        TRY(publish_file(game_folder, game_folder / active_release_file_name, list.release_id));
    if (!same_release)
        prune_releases(game_folder, list.release_id);

    report(sink, 1, client_ready_text);
    return release_folder;
}

void sealed_update_worker(SealedUpdateContext context)
{
    const std::atomic<bool>& cancel = *context.cancel_flag;
    if (!context.test_flag && context.service.self_update(cancel)) {
        send_ui_message(context.sender, ui_message::Finished {true});
        return;
    }
    UiProgressSink sink(context.sender);
    auto folder = update_client(context.service, context.game_folder, context.installed_folder, sink, cancel);
    if (!folder) {
        send_ui_message(context.sender, ui_message::Finished {failure(folder.error())});
        return;
    }
    send_ui_message(context.sender, ui_message::ClientReady {*folder});
    send_ui_message(context.sender, ui_message::Finished {false});
}

} // namespace torvane
