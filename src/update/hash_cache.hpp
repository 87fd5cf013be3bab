// The hash cache of the manifest update: a text file that maps a file's path, size and
// modification time to its SHA-256, so that an unchanged file is not read again.
#pragma once

#include "platform/files.hpp"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace torvane {

// Key text to digest text.
using HashCache = std::map<std::string, std::string>;

// <base_folder>/Data/Launcher/hashes.cache
std::filesystem::path hash_cache_path(const std::filesystem::path& base_folder);

// "<path with '/' separators>|<size>|<modification time in 100-ns ticks since 0001-01-01>".
std::string hash_cache_key(std::string_view relative_path, const platform::FileInfo& info);

// The most of the cache file that is read: one line per file of a manifest, and a manifest is at
// most that long itself.
inline constexpr std::uint64_t hash_cache_read_limit = 64 * 1024 * 1024;

// The cache file's entries; empty when the file is missing or unreadable (also when it is larger
// than hash_cache_read_limit or no regular file). Lines are split at line
// feeds, trailing carriage returns dropped, key and value split at the first tab; lines without a
// tab are skipped and a later line replaces an earlier one with the same key.
HashCache load_hash_cache(const std::filesystem::path& base_folder);

// The cache file's text: one "key<TAB>value\r\n" line per entry.
std::string format_hash_cache(const HashCache& cache);

// Replaces the cache file whole, creating its folder first. Failures are ignored: a lost cache only costs the
// next run a re-read of the files.
void save_hash_cache(const std::filesystem::path& base_folder, const HashCache& cache);

} // namespace torvane
