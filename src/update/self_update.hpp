// The launcher's self-update: when the service publishes a launcher executable other than the
// running one, download it, verify it and swap it in beside the running file. Best effort: every
// failure leaves the launcher as it is and reports nothing.
//
// Each system's build publishes its own executable under its own name and its own entry of
// launcher.json: the Windows launcher "Launcher" and /files/Torvane.exe, the Linux launcher
// "LauncherLinux" and /files/torvane-linux-x86_64, so that neither replaces itself with the other.
#pragma once

#include "core/http_agent.hpp"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

inline constexpr std::uint64_t launcher_max_size = 67'108'864; // 64 MiB

// The published executable as the document's launcher entry describes it.
struct PublishedLauncher {
    std::string sha256; // 64 lower-case hex digits
    std::uint64_t size = 0;
    bool operator==(const PublishedLauncher&) const = default;
};

// Reads the launcher entry of a launcher.json body (a leading byte-order mark is dropped): an
// object at the top level with "Sha256" (a string, lower-cased, then 64 hex digits) and "Size" (an
// integer from 1 to 64 MiB; fractions and negative numbers do not count). None when any rule
// fails.
std::optional<PublishedLauncher> read_launcher_entry(std::string_view body);

// Where the self-update looks: the document, the file area and the executable to replace.
struct SelfUpdateSource {
    const HttpAgent& agent;
    std::string launcher_json_url;
    std::string files_base_url;
    std::filesystem::path executable;
};

// True only when the executable on disk was replaced: the new file took its name (with the old
// one's permission bits) and the old file is kept as executable + ".old". False when it is up to
// date, when anything fails, or when the cancel flag is raised during the download.
bool self_update_launcher(const SelfUpdateSource& source, const std::atomic<bool>& cancel_flag);

// The same against the service with the running executable, through an agent with 15 s / 60 s
// time-outs.
bool self_update_launcher(const std::atomic<bool>& cancel_flag);

} // namespace torvane
