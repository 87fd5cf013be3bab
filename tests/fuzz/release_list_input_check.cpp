#include "fuzz/release_list_input_check.hpp"

#include "release_keys.hpp"
#include "update/digest.hpp"
#include "update/signatures.hpp"

#include <algorithm>
#include <unordered_set>

namespace torvane::test {

namespace {

bool is_parser_message(const std::string& message)
{
    return message == release_list_signature_message || message == release_list_invalid_message ||
           message == release_entry_invalid_message || message == release_list_incomplete_message;
}

std::string check_list_rules(const ReleaseList& list)
{
    if (!is_lower_hex(list.release_id, 32))
        return "accepted a bad release id";
    if (list.entries.size() > release_list_max_entries)
        return "accepted too many entries";
    std::unordered_set<std::string> seen;
    bool blob = false;
    for (const ReleaseEntry& entry : list.entries) {
        if (entry.size > release_entry_max_size || !is_lower_hex(entry.sha256, 64))
            return "accepted a bad entry: " + entry.path;
        if (!is_core_release_file(entry.path) && !is_user_file(entry.path) && !is_asset_blob_name(entry.path))
            return "accepted a path outside the release names: " + entry.path;
        if (!seen.insert(ascii_lower(entry.path)).second)
            return "accepted a duplicate path: " + entry.path;
        blob = blob || is_asset_blob_name(entry.path);
    }
    auto present = [&](std::string_view name) { return seen.contains(ascii_lower(name)); };
    if (!blob || !std::all_of(core_release_files.begin(), core_release_files.end(), present) ||
        !std::all_of(user_files.begin(), user_files.end(), present))
        return "accepted an incomplete list";
    return {};
}

} // namespace

std::string check_release_list_input(std::string_view bytes)
{
    // As a whole file: whatever is accepted must carry a signature that verifies.
    auto file = parse_release_list(bytes, dev_public_key());
    if (file) {
        std::string_view text = bytes.substr(0, bytes.size() - release_signature_size);
        const auto* tail = reinterpret_cast<const std::uint8_t*>(bytes.data() + text.size());
        if (!dev_public_key().verify_sha256(sha256_bytes(text), std::span<const std::uint8_t, 256>(tail, 256)))
            return "accepted a list whose signature does not verify";
        if (std::string problem = check_list_rules(*file); !problem.empty())
            return problem;
    } else if (!is_parser_message(file.error())) {
        return "unexpected message: " + file.error();
    }

    // As a text: what is accepted reads back from the text written for it, and passes as a signed
    // file.
    auto list = parse_release_text(bytes);
    if (!list)
        return is_parser_message(list.error()) && list.error() != release_list_signature_message
                   ? std::string()
                   : "unexpected text message: " + list.error();
    if (std::string problem = check_list_rules(*list); !problem.empty())
        return problem;
    // Sizes may carry leading zeros, so the text written back may be shorter, never different.
    if (parse_release_text(release_list_text(*list)) != *list)
        return "an accepted list does not read back from its own text";
    std::string signed_file = dev_signed(bytes);
    auto again = parse_release_list(signed_file, dev_public_key());
    bool fits = signed_file.size() >= release_list_min_size && signed_file.size() <= release_list_max_size;
    if (fits ? !again || *again != *list : again.has_value())
        return "the signed text is judged differently from the text";
    return {};
}

} // namespace torvane::test
