#include "update/path_safety.hpp"

#include "platform/files.hpp"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <sys/stat.h>
#include <vector>

namespace torvane {

namespace {

constexpr char32_t replacement_character = 0xFFFD;

// Decodes UTF-8, replacing each maximal invalid subsequence by one U+FFFD.
std::vector<char32_t> decode_utf8_lossy(std::string_view text)
{
    std::vector<char32_t> code_points;
    code_points.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            code_points.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length;
        char32_t value;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            if (lead == 0xED)
                high = 0x9F; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            value = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F;
        } else {
            code_points.push_back(replacement_character);
            ++i;
            continue;
        }
        std::size_t consumed = 1;
        bool complete = true;
        for (; consumed < length; ++consumed) {
            if (i + consumed >= text.size()) {
                complete = false;
                break;
            }
            unsigned char next = static_cast<unsigned char>(text[i + consumed]);
            unsigned char min = consumed == 1 ? low : 0x80;
            unsigned char max = consumed == 1 ? high : 0xBF;
            if (next < min || next > max) {
                complete = false;
                break;
            }
            value = (value << 6) | (next & 0x3F);
        }
        code_points.push_back(complete ? value : replacement_character);
        i += consumed;
    }
    return code_points;
}

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The Unicode character tables of the C.UTF-8 locale, independent of the process's locale.
locale_t unicode_locale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

bool is_cased(char32_t c, locale_t locale)
{
    return locale && (iswupper_l(static_cast<wint_t>(c), locale) || iswlower_l(static_cast<wint_t>(c), locale));
}

char32_t simple_lower(char32_t c, locale_t locale)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
    return locale ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale)) : c;
}

// Full lower-casing: the simple mappings plus the two that the simple table lacks, the dotted
// capital I (two code points) and the capital sigma at the end of a word (final sigma).
std::string unicode_lower(const std::vector<char32_t>& text)
{
    locale_t locale = unicode_locale();
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == 0x0130) {
            append_utf8(out, 'i');
            append_utf8(out, 0x0307);
        } else if (c == 0x03A3) {
            bool after_cased = i > 0 && is_cased(text[i - 1], locale);
            bool before_cased = i + 1 < text.size() && is_cased(text[i + 1], locale);
            append_utf8(out, after_cased && !before_cased ? 0x03C2 : 0x03C3);
        } else {
            append_utf8(out, simple_lower(c, locale));
        }
    }
    return out;
}

// Whether a path whose key equals the base's key names the base itself. Keys fold case, but on a
// case-sensitive file system "Game" and "game" are two folders, and the walk must not accept the
// other one.
bool names_same_folder(const std::filesystem::path& path, const std::filesystem::path& base)
{
    auto trimmed = [](std::string text) {
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        return text;
    };
    if (trimmed(path.native()) == trimmed(base.native()))
        return true;
    struct stat a {}, b {};
    return ::stat(path.c_str(), &a) == 0 && ::stat(base.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

std::string path_key(const std::filesystem::path& path)
{
    std::vector<char32_t> text = decode_utf8_lossy(path.native());
    for (char32_t& c : text) {
        if (c == '/')
            c = '\\';
    }
    std::string key = unicode_lower(text);
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    return key;
}

std::filesystem::path push_relative_path(const std::filesystem::path& folder, std::string_view relative)
{
    std::filesystem::path result = folder;
    while (!relative.empty()) {
        std::size_t slash = relative.find('/');
        std::string_view segment = relative.substr(0, slash);
        if (!segment.empty())
            result /= std::filesystem::path(std::string(segment));
        if (slash == std::string_view::npos)
            break;
        relative.remove_prefix(slash + 1);
    }
    return result;
}

Status ensure_inside_base(const std::filesystem::path& base, const std::filesystem::path& path)
{
    const std::string base_key = path_key(base);
    std::filesystem::path current = path;
    for (;;) {
        std::string key = path_key(current);
        if (key == base_key)
            return names_same_folder(current, base) ? Status() : Status(failure(outside_base_message));
        if (key.size() <= base_key.size() || !key.starts_with(base_key) || key[base_key.size()] != '\\')
            return failure(outside_base_message);
        // A ".." would climb back out while every key still starts with the base's.
        if (current.filename() == "..")
            return failure(outside_base_message);
        auto info = platform::file_info(current, platform::FollowLinks::No);
        if (info && info->kind == platform::FileKind::SymbolicLink)
            return failure(redirected_message);
        std::filesystem::path parent = current.parent_path();
        if (parent.empty() || parent == current)
            return failure(outside_base_message);
        current = std::move(parent);
    }
}

} // namespace torvane
