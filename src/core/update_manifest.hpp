// The JSON file manifest: every file of a game folder with its size and SHA-256.
#pragma once

#include "platform/result.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

struct ManifestFile {
    // Relative to the game folder, '/'-separated as written (a '\' may occur; the updater reads it as '/').
    std::optional<std::string> path;
    std::int64_t size = 0;
    // 64 hexadecimal digits.
    std::optional<std::string> sha256;
    // Installed only when absent and never compared (files the user edits).
    bool only_if_missing = false;
    bool operator==(const ManifestFile&) const = default;
};

struct UpdateManifest {
    // A label of the manifest's generation; not used by the updater.
    std::optional<std::string> version;
    // An absent list counts as empty.
    std::optional<std::vector<ManifestFile>> files;
    bool operator==(const UpdateManifest&) const = default;
};

// Reads a manifest with the configuration document's rules (object or array records, unknown keys
// skipped, repeated keys refused, the same error texts). "Size" must be an integer that fits 64
// signed bits. No byte-order mark is skipped: the caller removes one first.
Result<UpdateManifest> parse_update_manifest(std::string_view bytes);

// The manifest in the pretty form (keys in field order, absent values as null, no final line feed).
std::string format_update_manifest(const UpdateManifest& manifest);

} // namespace torvane
