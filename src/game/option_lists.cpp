#include "game/option_lists.hpp"

#include "core/game_client_files.hpp"
#include "game/game_text.hpp"
#include "platform/files.hpp"
#include "platform/path_text.hpp"
#include "platform/unicode.hpp"

#include <algorithm>

namespace torvane {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view resolution_tag = "<Resolution";

// The text without leading Unicode white space.
std::string_view skip_white_space(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t next = at;
        if (!platform::is_unicode_white_space(platform::decode_utf8(text, next)))
            break;
        at = next;
    }
    return text.substr(at);
}

bool starts_with_white_space(std::string_view text)
{
    std::size_t at = 0;
    return !text.empty() && platform::is_unicode_white_space(platform::decode_utf8(text, at));
}

// Whether the character that ends just before `end` is white space.
bool white_space_before(std::string_view text, std::size_t end)
{
    std::size_t start = end;
    while (start > 0 && end - start < 4) {
        --start;
        if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80)
            break;
    }
    std::size_t at = start;
    char32_t code = platform::decode_utf8(text, at);
    return at == end && platform::is_unicode_white_space(code);
}

void replace_all(std::string& text, std::string_view from, std::string_view to)
{
    std::string out;
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        out.append(text, start, at - start);
        out += to;
        start = at + from.size();
    }
    out.append(text, start);
    text = std::move(out);
}

std::string unescape_xml(std::string_view value)
{
    std::string text(value);
    replace_all(text, "&lt;", "<");
    replace_all(text, "&gt;", ">");
    replace_all(text, "&quot;", "\"");
    replace_all(text, "&apos;", "'");
    replace_all(text, "&amp;", "&"); // last, so "&amp;lt;" stays "&lt;"
    return text;
}

std::string_view language_display_name(std::string_view code)
{
    for (const auto& entry : managed_language_options)
        if (platform::equal_ignoring_ascii_case(entry.value, code))
            return entry.label;
    return {};
}

std::vector<OptionChoice> builtin_resolutions()
{
    std::vector<OptionChoice> choices;
    for (std::size_t i = 0; i < std::size(builtin_resolution_names); ++i)
        choices.push_back({std::to_string(i), std::string(builtin_resolution_names[i])});
    return choices;
}

} // namespace

std::vector<OptionChoice> option_list(std::span<const OptionText> table)
{
    std::vector<OptionChoice> choices;
    choices.reserve(table.size());
    for (const auto& entry : table)
        choices.push_back({std::string(entry.value), std::string(entry.label)});
    return choices;
}

std::optional<std::string> find_xml_attribute(std::string_view tag, std::string_view name)
{
    if (name.empty())
        return std::nullopt;
    for (std::size_t search = 0;;) {
        std::size_t at = tag.find(name, search);
        if (at == std::string_view::npos)
            return std::nullopt;
        search = at + name.size();
        if (at != 0 && !white_space_before(tag, at))
            continue;
        std::string_view rest = skip_white_space(tag.substr(search));
        if (!rest.starts_with('='))
            continue;
        rest = skip_white_space(rest.substr(1));
        if (rest.empty())
            return std::nullopt;
        char quote = rest.front();
        if (quote != '"' && quote != '\'')
            continue;
        std::size_t close = rest.find(quote, 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        return unescape_xml(rest.substr(1, close - 1));
    }
}

std::vector<ResolutionEntry> scan_resolution_entries(std::string_view xml)
{
    std::vector<ResolutionEntry> entries;
    for (std::size_t found = xml.find(resolution_tag); found != std::string_view::npos;) {
        std::size_t tag_start = found + resolution_tag.size();
        std::size_t tag_end = std::min(xml.find('>', tag_start), xml.size());
        std::string_view tag = xml.substr(tag_start, tag_end - tag_start);
        found = xml.find(resolution_tag, tag_end);

        // "<Resolutions" and the like are other elements.
        if (tag.empty() || !(tag.front() == '/' || starts_with_white_space(tag)))
            continue;
        auto index_text = find_xml_attribute(tag, "index");
        if (!index_text)
            continue;
        auto index = parse_trimmed_i32(*index_text);
        if (!index)
            continue;
        auto name = find_xml_attribute(tag, "name");
        entries.push_back({*index, name ? std::move(*name) : std::to_string(*index)});
    }
    return entries;
}

std::vector<OptionChoice> resolution_choices(const fs::path& game_folder)
{
    auto bytes = platform::read_file(game_folder / game_client::resolutions_xml, platform::document_read_limit);
    if (!bytes)
        return builtin_resolutions();
    std::vector<ResolutionEntry> entries = scan_resolution_entries(platform::utf8_lossy(*bytes));
    if (entries.empty())
        return builtin_resolutions();
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ResolutionEntry& a, const ResolutionEntry& b) { return a.index < b.index; });
    std::vector<OptionChoice> choices;
    choices.reserve(entries.size());
    for (auto& entry : entries)
        choices.push_back({std::to_string(entry.index), std::move(entry.name)});
    return choices;
}

std::optional<std::string> next_subfolder_name(fs::directory_iterator& listing)
{
    std::error_code error;
    while (listing != fs::directory_iterator()) {
        const fs::directory_entry& entry = *listing;
        // A symbolic link stands for the reparse point it is on the game's own system: not a folder.
        bool is_folder = entry.symlink_status(error).type() == fs::file_type::directory && !error;
        std::string name = platform::path_utf8(entry.path().filename());
        listing.increment(error);
        if (error)
            listing = fs::directory_iterator();
        if (is_folder)
            return platform::utf8_lossy(name);
    }
    return std::nullopt;
}

std::vector<OptionChoice> language_choices(const fs::path& game_folder, bool managed_update)
{
    if (managed_update)
        return option_list(managed_language_options);

    std::vector<OptionChoice> choices;
    fs::path local = game_folder / game_client::language_folder;
    std::error_code error;
    fs::directory_iterator listing(local, error);
    if (!error) {
        std::vector<std::string> names;
        while (auto name = next_subfolder_name(listing))
            names.push_back(std::move(*name));
        // std::string compares as unsigned bytes.
        std::stable_sort(names.begin(), names.end());
        for (auto& name : names) {
            std::string_view label = language_display_name(name);
            if (name.size() != 3 || label.empty())
                continue;
            auto text_file = platform::file_info(local / name / game_client::language_text_file, platform::FollowLinks::No);
            if (!text_file || text_file->kind == platform::FileKind::Missing)
                continue;
            choices.push_back({std::move(name), std::string(label)});
        }
        std::stable_partition(choices.begin(), choices.end(), [](const OptionChoice& choice) {
            return platform::equal_ignoring_ascii_case(choice.value, "Por");
        });
    }
    if (choices.empty())
        choices.push_back({"Por", "Português"});
    return choices;
}

} // namespace torvane
