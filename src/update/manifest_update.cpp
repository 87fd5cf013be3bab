#include "update/manifest_update.hpp"

#include "core/service_endpoints.hpp"
#include "core/util.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/path_text.hpp"
#include "platform/unicode.hpp"
#include "update/file_check.hpp"
#include "update/hash_cache.hpp"
#include "update/http_answers.hpp"
#include "update/path_safety.hpp"
#include "update/sha256.hpp"
#include "update/time_query.hpp"

#include <algorithm>
#include <chrono>
#include <unordered_set>

namespace torvane {

namespace {

constexpr std::size_t transfer_buffer_size = 81'920;
constexpr std::string_view corrupt_download_prefix = "Arquivo corrompido no download: ";
// A download's rate is shown once it has run this long.
constexpr double rate_warm_up_seconds = 0.2;

void report(ProgressSink& sink, double sub_progress, double progress, double bytes_per_second, std::string text,
            std::string detail = {})
{
    sink.call(ui_message::Progress {{
        .sub_progress = sub_progress,
        .progress = progress,
        .bytes_per_second = bytes_per_second,
        .text = std::move(text),
        .detail = std::move(detail),
    }});
}

bool starts_with_https(std::string_view address)
{
    constexpr std::string_view scheme = "https://";
    return address.size() >= scheme.size() && platform::equal_ignoring_ascii_case(address.substr(0, scheme.size()), scheme);
}

// A control character in a name (U+0000 to U+001F, U+007F) cuts it short at the system's calls
// (NUL) or splits a line of the hash cache (line feed), so the file written is not the one named.
bool holds_control_character(std::string_view path)
{
    return std::ranges::any_of(path, [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

bool holds_windows_redirected_name(std::string_view path)
{
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        if (is_windows_redirected_name(path.substr(0, slash)))
            return true;
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return false;
}

bool is_blank(const std::optional<std::string>& text)
{
    return !text || platform::trim_unicode_white_space(*text).empty();
}

Result<UpdateManifest> fetch_manifest(const HttpAgent& agent, const std::string& manifest_url)
{
    auto response = agent.get(manifest_request_url(manifest_url, time_query_ticks_now()));
    if (!response)
        return failure(http_failure_text(response.error()));
    // A generous limit, so that a misconfigured server cannot exhaust memory.
    std::string body = TRY(response->read_up_to(service::manifest_limit + 1));
    if (body.size() > service::manifest_limit)
        return failure(manifest_too_large_text);
    auto manifest = parse_update_manifest(platform::without_utf8_bom(body));
    if (!manifest)
        return failure("manifesto inválido: " + manifest.error());
    return manifest;
}

std::vector<ManifestFile> check_files(const ManifestRunContext& context, const std::vector<ManifestFile>& entries,
                                      HashCache& cache, ProgressSink& sink, const std::atomic<bool>& cancel)
{
    report(sink, 0, 0, 0, checking_files_text);
    FileCheckState state(entries, context.base_folder, cache, sink, cancel);
    run_file_check_workers(state, context.check_workers);
    std::vector<ManifestFile> marked;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (state.needs_download[i])
            marked.push_back(entries[i]);
    }
    return marked;
}

// The names the listed paths take below the base folder: each target's and each folder's on its
// way there, as the file system compares names (without case on Windows).
using TakenNames = std::unordered_set<std::string>;

TakenNames names_taken_by(const fs::path& base_folder, const std::vector<ManifestFile>& entries)
{
    TakenNames taken;
    const std::string base_key = platform::file_name_key(base_folder);
    for (const ManifestFile& entry : entries) {
        for (fs::path path = join_relative_path(base_folder, *entry.path); path.has_relative_path(); path = path.parent_path()) {
            std::string key = platform::file_name_key(path);
            if (key.size() <= base_key.size() || !taken.insert(std::move(key)).second)
                break;
        }
    }
    return taken;
}

// A download's temporary: "<target>.part", unless a listed path takes that name (a manifest may
// list "a.bin.part" beside "a.bin"); then the first of "<target>.1.part", "<target>.2.part", ...
// that none takes, so the temporary never removes or replaces a listed file.
fs::path download_temporary_for(const fs::path& target, const TakenNames& taken)
{
    fs::path temporary = with_suffix(target, ".part");
    for (unsigned n = 1; taken.contains(platform::file_name_key(temporary)); ++n)
        temporary = with_suffix(target, "." + std::to_string(n) + ".part");
    return temporary;
}

// Byte counts of one run's downloads, for the progress fractions.
struct TransferTally {
    double total = 1;
    double finished = 0;
};

// Downloads one entry into its ".part" temporary, verifies it and moves it into place; returns
// the digest it installed.
Result<std::string> install_entry(ManifestRunContext& context, const HttpAgent& agent, const std::string& files_base,
                                  const ManifestFile& entry, const TakenNames& taken, std::vector<char>& buffer,
                                  const TransferTally& tally, ProgressSink& sink, const std::atomic<bool>& cancel)
{
    const std::string& path = *entry.path;
    const std::string expected = entry.sha256.value_or("");
    fs::path target = join_relative_path(context.base_folder, path);
    fs::path temporary = download_temporary_for(target, taken);

    TRY(platform::create_folders(target.parent_path()));
    auto response = agent.get(manifest_download_url(files_base, path, expected));
    if (!response)
        return failure(http_failure_text(response.error()));

    // A file or link left under the temporary's name is removed, not written through.
    platform::OutputFile file = TRY(platform::OutputFile::create(temporary, platform::ExistingFile::Replace));
    const auto began = std::chrono::steady_clock::now();
    const double size = static_cast<double>(entry.size);
    double so_far = 0;
    const std::uint64_t size_limit = static_cast<std::uint64_t>(std::max<std::int64_t>(entry.size, 0));
    std::uint64_t received = 0;
    for (;;) {
        std::size_t got = TRY(response->read(buffer));
        if (got == 0)
            break;
        received += got;
        if (received > size_limit) {
            // More bytes than the manifest lists cannot be the file: stop before they fill the disk.
            (void)file.close();
            (void)platform::remove_file(temporary);
            return failure(std::string(corrupt_download_prefix) + path);
        }
        TRY(file.write(std::string_view(buffer.data(), got)));
        so_far += static_cast<double>(got);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        report(sink, entry.size > 0 ? std::min(1.0, so_far / size) : 1.0,
               std::min(1.0, (tally.finished + so_far) / tally.total),
               seconds >= rate_warm_up_seconds ? so_far / seconds : 0.0, downloading_update_text, path);
        if (cancel.load()) {
            (void)file.close();
            (void)platform::remove_file(temporary);
            return failure(cancelled_text);
        }
    }
    // The bytes reach the disk before the name does, so a crash never leaves a short file in place.
    TRY(file.sync_and_close());

    std::string digest = TRY(sha256_file(temporary));
    if (!hash_text_equal(digest, expected)) {
        (void)platform::remove_file(temporary);
        return failure(std::string(corrupt_download_prefix) + path);
    }
    TRY(replace_file(context, temporary, target, context.running_exe));
    return digest;
}

} // namespace

fs::path ManifestRunContext::current_running_exe() { return current_exe_or_default(); }

HttpAgentFactory ManifestRunContext::default_agent_factory()
{
    return [](int connect_seconds, int read_seconds) { return http_agent(connect_seconds, read_seconds); };
}

int ManifestRunContext::default_check_workers() { return file_check_worker_count(); }

std::string manifest_request_url(std::string_view manifest_url, std::uint64_t ticks)
{
    std::string url(manifest_url);
    url += manifest_url.find('?') != std::string_view::npos ? '&' : '?';
    url += service::time_query_key;
    url += '=' + std::to_string(ticks);
    return url;
}

std::string percent_encode_path(std::string_view path)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')
                          || byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 0x0F];
        }
    }
    return encoded;
}

std::string manifest_download_url(std::string_view files_base_url, std::string_view path, std::string_view sha256)
{
    while (files_base_url.ends_with('/'))
        files_base_url.remove_suffix(1);
    std::string url(files_base_url);
    url += '/';
    url += percent_encode_path(path);
    url += "?h=";
    url += sha256;
    return url;
}

std::vector<ManifestFile> sanitize_manifest_paths(std::vector<ManifestFile> entries)
{
    std::vector<ManifestFile> kept;
    kept.reserve(entries.size());
    for (ManifestFile& entry : entries) {
        if (is_blank(entry.path))
            continue;
        std::string path = std::move(*entry.path);
        std::replace(path.begin(), path.end(), '\\', '/');
        if (path.starts_with('/') || path.find("..") != std::string::npos || path.find(':') != std::string::npos
            || holds_control_character(path) || holds_windows_redirected_name(path))
            continue;
        entry.path = std::move(path);
        kept.push_back(std::move(entry));
    }
    return kept;
}

void drop_entries_at_path(std::vector<ManifestFile>& entries, const fs::path& base_folder, const fs::path& path)
{
    std::erase_if(entries, [&](const ManifestFile& entry) {
        return platform::same_file(join_relative_path(base_folder, *entry.path), path);
    });
}

Status replace_file(ManifestRunContext& context, const fs::path& temporary, const fs::path& target,
                    const fs::path& running_exe)
{
    auto info = TRY(platform::file_info(target, platform::FollowLinks::No));
    bool exists = info.kind != platform::FileKind::Missing;
    // The running executable is told by its identity: a game file whose name differs from the
    // launcher's only in letter case is another file.
    if (exists && platform::same_file(target, running_exe)) {
        fs::path aside = with_suffix(target, ".old");
        TRY(platform::remove_file(aside));
        TRY(platform::replace_rename(target, aside));
        // The new executable must stay startable: it takes the old one's permissions.
        std::error_code ignored;
        fs::permissions(temporary, fs::status(aside, ignored).permissions(), ignored);
        if (Status moved = platform::replace_rename(temporary, target); !moved) {
            // The launcher is never left without an executable under its name.
            (void)platform::replace_rename(aside, target);
            return moved;
        }
        context.relaunch = true;
        return {};
    }
    // A rename replaces the target whatever its permission bits (a read-only file included), in one
    // step, so the old file stays whole until the new one takes its name.
    return platform::replace_rename(temporary, target);
}

Status run_update(ManifestRunContext& context, const UpdateConfig& update, ProgressSink& sink,
                  const std::atomic<bool>& cancel)
{
    if (!update.enabled || is_blank(update.manifest_url))
        return {};
    const std::string& manifest_url = *update.manifest_url;
    const std::string files_base_url = update.files_base_url.value_or("");
    if (!starts_with_https(manifest_url) || !starts_with_https(files_base_url))
        return failure(update_address_invalid_text);
    report(sink, 0, 0, 0, searching_updates_text);

    auto agent = context.make_agent(service::manifest_update_timeouts.connect_seconds,
                                    service::manifest_update_timeouts.read_seconds);
    if (!agent)
        return failure(tls_start_failed_text);
    UpdateManifest manifest = TRY(fetch_manifest(*agent, manifest_url));

    std::vector<ManifestFile> entries = sanitize_manifest_paths(
        manifest.files ? std::move(*manifest.files) : std::vector<ManifestFile> {});
    // Every listed path counts, the running executable's too.
    const TakenNames taken = names_taken_by(context.base_folder, entries);
    if (context.test_flag)
        drop_entries_at_path(entries, context.base_folder, context.running_exe);

    HashCache cache = load_hash_cache(context.base_folder);
    std::vector<ManifestFile> marked = check_files(context, entries, cache, sink, cancel);
    if (cancel.load())
        return failure(cancelled_text);
    save_hash_cache(context.base_folder, cache);

    if (marked.empty()) {
        report(sink, 1, 1, 0, client_up_to_date_text);
        return {};
    }
    TransferTally tally;
    double total = 0;
    for (const ManifestFile& entry : marked)
        total += static_cast<double>(std::max<std::int64_t>(entry.size, 0));
    tally.total = total > 0 ? total : 1;

    std::vector<char> buffer(transfer_buffer_size);
    for (const ManifestFile& entry : marked) {
        if (cancel.load())
            return failure(cancelled_text);
        std::string digest = TRY(install_entry(context, *agent, files_base_url, entry, taken, buffer, tally, sink, cancel));
        fs::path target = join_relative_path(context.base_folder, *entry.path);
        auto info = platform::file_info(target, platform::FollowLinks::No);
        if (info && info->kind != platform::FileKind::Missing)
            cache.insert_or_assign(hash_cache_key(*entry.path, *info), std::move(digest));
        tally.finished += static_cast<double>(std::max<std::int64_t>(entry.size, 0));
    }
    save_hash_cache(context.base_folder, cache);
    report(sink, 1, 1, 0, update_finished_text);
    return {};
}

} // namespace torvane
