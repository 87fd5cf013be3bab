#include "update/download_workers.hpp"

#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/random.hpp"
#include "platform/sha256.hpp"
#include "update/digest.hpp"
#include "update/http_answers.hpp"
#include "update/path_safety.hpp"
#include "update/sizes.hpp"
#include "update/worker_pool.hpp"

#include <array>
#include <thread>

namespace torvane {

void sleep_for_pause(std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }

Result<std::filesystem::path> download_temporary_path(const std::filesystem::path& target)
{
    std::array<std::uint8_t, 12> random {};
    TRY(platform::random_bytes(random));
    std::filesystem::path temporary = target;
    temporary += ".tmp-" + hex_lower(random);
    return temporary;
}

std::uint64_t total_size(std::span<const ReleaseEntry* const> entries)
{
    std::uint64_t total = 0;
    for (const ReleaseEntry* entry : entries)
        total += entry->size;
    return total;
}

namespace {

bool stopping(const DownloadTaskContext& context) { return context.cancel_flag.load() || context.stop_flag.load(); }

void send_download_report(DownloadTaskContext& context)
{
    std::uint64_t downloaded = context.downloaded_bytes.load();
    double seconds = context.throttle.elapsed_seconds();
    double fraction = progress_fraction(downloaded, context.total_bytes);
    ProgressReport report {
        .sub_progress = fraction,
        .progress = fraction,
        .bytes_per_second = seconds > 0.5 ? static_cast<double>(downloaded) / seconds : 0.0,
        .text = download_progress_text(context.fresh_install, downloaded, context.total_bytes),
        .detail = files_progress_detail(context.finished_downloads.load(), context.entries.size()),
    };
    context.sink.call(ui_message::Progress {std::move(report)});
}

// Takes bytes counted by a failed attempt back from the shared counter, never below 0.
void take_back(std::atomic<std::uint64_t>& counter, std::uint64_t bytes)
{
    std::uint64_t current = counter.load();
    while (!counter.compare_exchange_weak(current, current >= bytes ? current - bytes : 0)) {
    }
}

std::string size_mismatch_text(const ReleaseEntry& entry) { return "tamanho divergente de " + entry.path; }

// One attempt at one file, into the temporary. `counted` receives the bytes this attempt added to
// downloaded_bytes.
Status download_attempt(DownloadTaskContext& context, const ReleaseEntry& entry, int attempt, const std::string& url,
                        const std::filesystem::path& temporary, std::span<char> buffer, std::uint64_t& counted)
{
    if (stopping(context))
        return failure(cancelled_text);
    if (attempt > 0) {
        context.pause(download_retry_pause * attempt);
        // A cancel that came during the pause is seen before a new request.
        if (stopping(context))
            return failure(cancelled_text);
    }

    auto response = context.agent.get(url);
    if (!response)
        return failure(http_failure_text(response.error()));
    if (auto header = response->header("Content-Length")) {
        auto length = parse_header_u64(*header);
        if (length && *length != entry.size)
            return failure(size_mismatch_text(entry));
    }

    platform::OutputFile file = TRY(platform::OutputFile::create(temporary, platform::ExistingFile::Replace));
    platform::Sha256 hasher;
    std::uint64_t received = 0;
    for (;;) {
        std::size_t count = TRY(response->read(buffer));
        if (count == 0)
            break;
        if (received + count > entry.size)
            return failure(size_mismatch_text(entry));
        std::string_view piece(buffer.data(), count);
        hasher.update(piece);
        TRY(file.write(piece));
        received += count;
        counted += count;
        context.downloaded_bytes.fetch_add(count);
        if (context.throttle.try_claim())
            send_download_report(context);
        if (context.cancel_flag.load())
            return failure(cancelled_text);
    }
    if (received != entry.size || hex_lower(hasher.finish()) != entry.sha256)
        return failure("arquivo corrompido no download: " + entry.path);

    // The disk starts on the bytes now; the publisher's flush then finds little left to write.
    file.start_write_back();
    return file.close();
}

// Every attempt at one file; the last attempt's error when all fail, "cancelado" at once.
Status download_entry(DownloadTaskContext& context, const ReleaseEntry& entry, std::span<char> buffer)
{
    std::filesystem::path target = push_relative_path(context.release_folder, entry.path);
    std::string url = context.client_base_url + "/releases/" + context.release_id + "/" + entry.path;
    std::filesystem::path temporary = TRY(context.temporary_path(target));

    Status last;
    for (int attempt = 0; attempt < download_attempts; ++attempt) {
        std::uint64_t counted = 0;
        last = download_attempt(context, entry, attempt, url, temporary, buffer, counted);
        // The verified file takes its name with its batch, once its bytes are on disk, so a power
        // cut cannot leave a named but empty file. The batch's publisher thread does that; a
        // failure there is not this transfer's and is not retried.
        if (last)
            return context.published.add(temporary, target, entry.size);
        (void)platform::remove_file(temporary);
        if (last.error() == cancelled_text)
            return last;
        take_back(context.downloaded_bytes, counted);
    }
    return last;
}

} // namespace

void download_worker(DownloadTaskContext& context)
{
    std::vector<char> buffer(download_piece_size, 0);
    for (;;) {
        std::uint32_t index = context.next_index.fetch_add(1);
        if (index >= context.entries.size())
            return;
        Status result = download_entry(context, *context.entries[index], buffer);
        if (result) {
            context.finished_downloads.fetch_add(1);
            if (context.cancel_flag.load())
                return;
            continue;
        }
        if (result.error() != cancelled_text) {
            std::lock_guard lock(context.error_mutex);
            if (!context.first_error)
                context.first_error = result.error();
            context.stop_flag.store(true);
        }
        return;
    }
}

void run_download_workers(DownloadTaskContext& context)
{
    run_scoped_workers(download_worker_count, [&context] { download_worker(context); });
    // Verified files are published after a cancellation too: they are not fetched again next time.
    Status published = context.published.finish();
    if (context.cancel_flag.load())
        return;
    std::lock_guard lock(context.error_mutex);
    if (!published && !context.first_error) {
        context.first_error = published.error();
        context.stop_flag.store(true);
    }
}

} // namespace torvane
