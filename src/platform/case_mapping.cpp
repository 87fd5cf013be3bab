#include "platform/case_mapping.hpp"

#include "platform/unicode.hpp"

#include <algorithm>
#include <cstdint>

namespace torvane::platform {

namespace {

struct CasePair {
    char32_t from;
    char32_t to;
};
struct CaseExpansion {
    char32_t from;
    char32_t to[3]; // unused places are 0
};
struct CaseRange {
    char32_t first;
    char32_t last;
};

#include "platform/case_tables.inc"

template <typename Entry, std::size_t N>
const Entry* find_entry(const Entry (&table)[N], char32_t c)
{
    const Entry* it = std::lower_bound(std::begin(table), std::end(table), c,
                                       [](const Entry& e, char32_t key) { return e.from < key; });
    return it != std::end(table) && it->from == c ? it : nullptr;
}

} // namespace

char32_t simple_lowercase(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    const CasePair* pair = find_entry(lower_case_pairs, c);
    return pair ? pair->to : c;
}

bool is_cased(char32_t c)
{
    const CaseRange* it = std::lower_bound(std::begin(cased_ranges), std::end(cased_ranges), c,
                                           [](const CaseRange& r, char32_t key) { return r.last < key; });
    return it != std::end(cased_ranges) && it->first <= c;
}

std::string uppercase_utf8(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const char32_t c = decode_utf8(utf8, at);
        if (c < 0x80) {
            out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        } else if (const CaseExpansion* expansion = find_entry(upper_case_expansions, c)) {
            for (char32_t part : expansion->to)
                if (part != 0)
                    append_utf8(out, part);
        } else {
            const CasePair* pair = find_entry(upper_case_pairs, c);
            append_utf8(out, pair ? pair->to : c);
        }
    }
    return out;
}

} // namespace torvane::platform
