#include "update/self_update.hpp"

#include "core/service_endpoints.hpp"
#include "core/util.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/unicode.hpp"
#include "update/digest.hpp"
#include "update/path_safety.hpp"
#include "update/time_query.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace torvane {

namespace {

constexpr std::size_t piece_size = 65'536;

// The body of the download, through a limit of size + 1 bytes; none when the read fails or the
// update is cancelled.
std::optional<std::string> read_launcher_body(HttpResponse& response, std::uint64_t size,
                                              const std::atomic<bool>& cancel_flag)
{
    std::uint64_t limit = size + 1;
    std::string body;
    std::vector<char> piece(piece_size);
    while (body.size() < limit) {
        if (cancel_flag.load())
            return std::nullopt;
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), limit - body.size()));
        auto count = response.read(std::span(piece.data(), want));
        if (!count)
            return std::nullopt;
        if (*count == 0)
            break;
        body.append(piece.data(), *count);
    }
    return body;
}

// Writes the verified executable beside the running one, with its mode, flushed to disk.
bool write_part_file(const std::filesystem::path& part, const std::filesystem::path& executable,
                     std::string_view bytes)
{
    // A file or link left at the name is removed, never written through.
    auto file = platform::OutputFile::create(part, platform::ExistingFile::Replace);
    if (!file)
        return false;
    bool written = file->write(bytes) && file->copy_permissions_from(executable) && file->sync_and_close();
    if (!written)
        (void)platform::remove_file(part);
    return written;
}

} // namespace

std::optional<PublishedLauncher> read_launcher_entry(std::string_view body)
{
    body = platform::without_utf8_bom(body);
    auto document = nlohmann::json::parse(body, nullptr, false);
    if (document.is_discarded() || !document.is_object())
        return std::nullopt;
    auto entry = document.find(service::launcher_entry_key);
    if (entry == document.end() || !entry->is_object())
        return std::nullopt;
    auto sha = entry->find("Sha256");
    auto size = entry->find("Size");
    // The reader keeps non-negative integers unsigned; negative ones and fractions are other kinds.
    if (sha == entry->end() || !sha->is_string() || size == entry->end() || !size->is_number_unsigned())
        return std::nullopt;
    std::uint64_t bytes = size->get<std::uint64_t>();
    std::string digest = ascii_lower(sha->get<std::string>());
    if (bytes < 1 || bytes > launcher_max_size || !is_lower_hex(digest, 64))
        return std::nullopt;
    return PublishedLauncher {std::move(digest), bytes};
}

bool self_update_launcher(const SelfUpdateSource& source, const std::atomic<bool>& cancel_flag)
{
    auto document = source.agent.get(timed_request_url(source.launcher_json_url));
    if (!document)
        return false;
    auto body = document->read_up_to(service::launcher_json_self_update_limit);
    if (!body)
        return false;
    auto published = read_launcher_entry(*body);
    if (!published)
        return false;

    auto running = sha256_file_hex(source.executable);
    if (!running || *running == published->sha256)
        return false;

    auto download = source.agent.get(source.files_base_url + "/" + service::launcher_download_name + "?" +
                                     service::hash_query_key + "=" + published->sha256);
    if (!download)
        return false;
    auto bytes = read_launcher_body(*download, published->size, cancel_flag);
    if (!bytes || bytes->size() != published->size || hex_lower(sha256_bytes(*bytes)) != published->sha256)
        return false;

    const std::filesystem::path& executable = source.executable;
    std::filesystem::path part = with_suffix(executable, ".part");
    std::filesystem::path old = with_suffix(executable, ".old");
    if (!write_part_file(part, executable, *bytes))
        return false;
    (void)platform::remove_file(old);
    if (!platform::replace_rename(executable, old)) {
        (void)platform::remove_file(part);
        return false;
    }
    if (!platform::replace_rename(part, executable)) {
        (void)platform::replace_rename(old, executable);
        return false;
    }
    (void)platform::sync_folder(executable.parent_path());
    return true;
}

bool self_update_launcher(const std::atomic<bool>& cancel_flag)
{
    auto agent = http_agent(service::self_update_timeouts.connect_seconds, service::self_update_timeouts.read_seconds);
    if (!agent)
        return false;
    return self_update_launcher(
        SelfUpdateSource {
            .agent = *agent,
            .launcher_json_url = service::launcher_json_url(),
            .files_base_url = service::files_base_url(),
            .executable = current_exe_or_default(),
        },
        cancel_flag);
}

} // namespace torvane
