#include "update/release_list.hpp"

#include "platform/rsa_verify.hpp"
#include "platform/unicode.hpp"
#include "update/digest.hpp"
#include "update/signatures.hpp"

#include <algorithm>
#include <charconv>
#include <span>
#include <unordered_set>

namespace torvane {

namespace {

std::span<const std::uint8_t, release_signature_size> signature_of(std::string_view file)
{
    const auto* tail = reinterpret_cast<const std::uint8_t*>(file.data() + file.size() - release_signature_size);
    return std::span<const std::uint8_t, release_signature_size>(tail, release_signature_size);
}

template <class Verify>
Result<ReleaseList> parse_signed(std::string_view file, Verify verify)
{
    if (file.size() < release_list_min_size || file.size() > release_list_max_size)
        return failure(release_list_signature_message);
    std::string_view text = file.substr(0, file.size() - release_signature_size);
    if (!verify(sha256_bytes(text), signature_of(file)))
        return failure(release_list_signature_message);
    return parse_release_text(text);
}

bool parse_entry_size(std::string_view field, std::uint64_t& size)
{
    if (field.empty() || !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), size);
    return error == std::errc() && end == field.data() + field.size() && size <= release_entry_max_size;
}

// Splits an entry line into exactly three blank-separated fields.
bool split_entry(std::string_view line, std::string_view fields[3])
{
    std::size_t first = line.find(' ');
    if (first == std::string_view::npos)
        return false;
    std::size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos)
        return false;
    fields[0] = line.substr(0, first);
    fields[1] = line.substr(first + 1, second - first - 1);
    fields[2] = line.substr(second + 1);
    return true;
}

template <std::size_t N>
bool is_one_of(std::string_view path, const std::array<std::string_view, N>& names)
{
    return std::any_of(names.begin(), names.end(),
                       [&](std::string_view name) { return platform::equal_ignoring_ascii_case(path, name); });
}

template <std::size_t N>
bool all_present(const std::array<std::string_view, N>& names, const std::unordered_set<std::string_view>& seen)
{
    return std::all_of(names.begin(), names.end(),
                       [&](std::string_view name) { return seen.contains(ascii_lower(name)); });
}

} // namespace

Result<ReleaseList> parse_release_list(std::string_view file)
{
    return parse_signed(file, [](const Sha256Digest& digest, std::span<const std::uint8_t, release_signature_size> signature) {
        return verify_rsa_signature(digest, signature);
    });
}

Result<ReleaseList> parse_release_list(std::string_view file, const platform::RsaPublicKey& key)
{
    return parse_signed(file, [&](const Sha256Digest& digest, std::span<const std::uint8_t, release_signature_size> signature) {
        return key.verify_sha256(digest, signature);
    });
}

Result<ReleaseList> parse_release_text(std::string_view text)
{
    // One pass that the compiler can vectorise: any byte with its top bit set.
    unsigned char high_bits = 0;
    for (char c : text)
        high_bits |= static_cast<unsigned char>(c);
    if (high_bits & 0x80)
        return failure(release_list_invalid_message);

    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (pieces.size() < 18 || pieces.front() != release_list_magic || !is_lower_hex(pieces[1], release_id_length) ||
        !pieces.back().empty())
        return failure(release_list_invalid_message);

    // Paths are lower-cased once, in one buffer, and the set holds views into it: the duplicate
    // test stays linear for the largest lists.
    const std::string lowered = ascii_lower(text);
    std::unordered_set<std::string_view> seen;
    seen.reserve(pieces.size());

    ReleaseList list;
    list.release_id = std::string(pieces[1]);
    list.entries.reserve(pieces.size() - 3);
    bool has_asset_blob = false;
    for (std::size_t i = 2; i + 1 < pieces.size(); ++i) {
        std::string_view fields[3];
        ReleaseEntry entry;
        if (!split_entry(pieces[i], fields) || !parse_entry_size(fields[0], entry.size) ||
            !is_lower_hex(fields[1], 64))
            return failure(release_entry_invalid_message);
        std::string_view path = fields[2];
        bool blob = is_asset_blob_name(path);
        if (!blob && !is_core_release_file(path) && !is_user_file(path))
            return failure(release_entry_invalid_message);
        std::string_view lowered_path(lowered.data() + (path.data() - text.data()), path.size());
        if (!seen.insert(lowered_path).second)
            return failure(release_entry_invalid_message);
        has_asset_blob = has_asset_blob || blob;
        entry.sha256 = std::string(fields[1]);
        entry.path = std::string(path);
        list.entries.push_back(std::move(entry));
    }

    if (list.entries.size() > release_list_max_entries || !all_present(core_release_files, seen) ||
        !all_present(user_files, seen) || !has_asset_blob)
        return failure(release_list_incomplete_message);
    return list;
}

std::string release_list_text(const ReleaseList& list)
{
    std::string text;
    text.reserve(64 + list.entries.size() * 160);
    text.append(release_list_magic).append("\n").append(list.release_id).append("\n");
    for (const ReleaseEntry& entry : list.entries) {
        text.append(std::to_string(entry.size)).append(" ").append(entry.sha256).append(" ");
        text.append(entry.path).append("\n");
    }
    return text;
}

bool is_core_release_file(std::string_view path) { return is_one_of(path, core_release_files); }

bool is_user_file(std::string_view path) { return is_one_of(path, user_files); }

bool is_asset_blob_name(std::string_view path)
{
    constexpr std::string_view prefix = "Assets/";
    constexpr std::string_view suffix = ".pmk";
    return path.size() == prefix.size() + 64 + suffix.size() && path.starts_with(prefix) && path.ends_with(suffix) &&
           is_lower_hex(path.substr(prefix.size(), 64), 64);
}

} // namespace torvane
