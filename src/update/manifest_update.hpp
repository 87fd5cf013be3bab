// The plain update path: brings a folder up to date from the JSON file manifest published at the
// configuration's "ManifestUrl", downloading each missing or changed file from "FilesBaseUrl".
#pragma once

#include "core/http_agent.hpp"
#include "core/launcher_config.hpp"
#include "platform/result.hpp"
#include "core/ui_message.hpp"
#include "core/update_manifest.hpp"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

namespace fs = std::filesystem;

inline constexpr const char update_address_invalid_text[] = "endereço de atualização inválido (precisa ser https).";
inline constexpr const char tls_start_failed_text[] = "não foi possível iniciar o TLS";
inline constexpr const char searching_updates_text[] = "Buscando atualizações...";
inline constexpr const char client_up_to_date_text[] = "Cliente atualizado.";
inline constexpr const char downloading_update_text[] = "Baixando atualização...";
inline constexpr const char update_finished_text[] = "Atualização concluída.";
inline constexpr const char manifest_too_large_text[] = "manifesto grande demais (mais de 64 MiB)";

// Builds the run's HTTP agent from a connect and a read time-out in seconds.
using HttpAgentFactory = std::function<Result<HttpAgent>(int connect_seconds, int read_seconds)>;

// What the caller gives a run and reads back from it.
struct ManifestRunContext {
    // The folder being updated; every manifest path is relative to it.
    fs::path base_folder;
    // The "--teste" flag: the running executable is never touched.
    bool test_flag = false;
    // Set by the run when it replaced the running executable; the caller restarts the launcher.
    bool relaunch = false;
    // The running executable (tests name a file of their own).
    fs::path running_exe = current_running_exe();
    // The agent factory (tests give one that trusts their server).
    HttpAgentFactory make_agent = default_agent_factory();
    // Workers of the check phase.
    int check_workers = default_check_workers();

    static fs::path current_running_exe();
    static HttpAgentFactory default_agent_factory();
    static int default_check_workers();
};

// Runs one update: fetches the manifest (with the "t" query), keeps the safe paths, checks the
// files against the hash cache, downloads each missing or changed one into "<target>.part" (or,
// when a listed path takes that name, "<target>.<n>.part" with the first n that none takes),
// verifies its SHA-256 and moves it into place. Success when "Enabled" is false or "ManifestUrl"
// is blank. Fails with the Portuguese text the user sees; "cancelado" when cancel was raised.
Status run_update(ManifestRunContext& context, const UpdateConfig& update, ProgressSink& sink,
                  const std::atomic<bool>& cancel);

// The manifest request: the address, '&' when it already has a query else '?', then "t=" and ticks.
std::string manifest_request_url(std::string_view manifest_url, std::uint64_t ticks);

// Each byte of each '/'-separated segment other than A-Z, a-z, 0-9, '-', '.', '_' and '~' as '%'
// and two upper-case hexadecimal digits.
std::string percent_encode_path(std::string_view path);

// A file's address: the files base with its trailing slashes replaced by one, the percent-encoded
// path, "?h=" and the expected SHA-256 as given.
std::string manifest_download_url(std::string_view files_base_url, std::string_view path, std::string_view sha256);

// The entries whose paths are safe below the base folder, in order, with every '\' turned into
// '/'. Dropped: no path, a blank one, a leading slash, any "..", any ':', any control character
// (below U+0020, or U+007F) and any component that Windows maps elsewhere (a device name such as
// "NUL" or "COM1.log", a name ending in a dot or a blank: is_windows_redirected_name), on both
// systems alike.
std::vector<ManifestFile> sanitize_manifest_paths(std::vector<ManifestFile> entries);

// Removes the entries whose target below base_folder is the file at path (platform::same_file).
void drop_entries_at_path(std::vector<ManifestFile>& entries, const fs::path& base_folder, const fs::path& path);

// Moves a verified temporary over its target. The running executable is first renamed aside to
// "<target>.old" (keeping its permissions on the new file) and the relaunch flag is set; any other
// target, read-only or not, is replaced. Fails with the I/O error's text; when the new executable
// cannot take its name, the old one is put back.
Status replace_file(ManifestRunContext& context, const fs::path& temporary, const fs::path& target,
                    const fs::path& running_exe);

} // namespace torvane
