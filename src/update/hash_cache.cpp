#include "update/hash_cache.hpp"

#include <algorithm>

namespace torvane {

std::filesystem::path hash_cache_path(const std::filesystem::path& base_folder)
{
    return base_folder / "Data" / "Launcher" / "hashes.cache";
}

std::string hash_cache_key(std::string_view relative_path, const platform::FileInfo& info)
{
    std::string key(relative_path);
    std::replace(key.begin(), key.end(), '\\', '/');
    key += '|';
    key += std::to_string(info.size);
    key += '|';
    key += std::to_string(info.modified_ticks);
    return key;
}

HashCache load_hash_cache(const std::filesystem::path& base_folder)
{
    HashCache cache;
    auto text = platform::read_file(hash_cache_path(base_folder), hash_cache_read_limit);
    if (!text)
        return cache;
    std::string_view rest = *text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (line.ends_with('\r'))
            line.remove_suffix(1);
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            continue;
        cache.insert_or_assign(std::string(line.substr(0, tab)), std::string(line.substr(tab + 1)));
    }
    return cache;
}

std::string format_hash_cache(const HashCache& cache)
{
    std::string text;
    text.reserve(cache.size() * 120);
    for (const auto& [key, value] : cache) {
        text += key;
        text += '\t';
        text += value;
        text += "\r\n";
    }
    return text;
}

void save_hash_cache(const std::filesystem::path& base_folder, const HashCache& cache)
{
    std::filesystem::path path = hash_cache_path(base_folder);
    (void)platform::create_folders(path.parent_path());
    (void)platform::write_file_atomic(path, format_hash_cache(cache));
}

} // namespace torvane
