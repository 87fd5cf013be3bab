#include "update/path_safety.hpp"

#include "core/util.hpp"
#include "platform/files.hpp"
#include "platform/path_text.hpp"
#include "platform/unicode.hpp"

#include <algorithm>

namespace torvane {

namespace {

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
    if (trimmed(platform::path_utf8(path)) == trimmed(platform::path_utf8(base)))
        return true;
    return platform::same_file(path, base);
}

} // namespace

std::string path_key(const std::filesystem::path& path)
{
    std::string text = platform::path_utf8(path);
    std::replace(text.begin(), text.end(), '/', '\\');
    std::string key = lowercase_text(text);
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    return key;
}

std::filesystem::path with_suffix(const std::filesystem::path& path, std::string_view suffix)
{
    std::filesystem::path result = path;
    result += suffix;
    return result;
}

std::filesystem::path push_relative_path(const std::filesystem::path& folder, std::string_view relative)
{
    std::filesystem::path result = folder;
    while (!relative.empty()) {
        std::size_t slash = relative.find('/');
        std::string_view segment = relative.substr(0, slash);
        if (!segment.empty())
            result /= platform::utf8_path(segment);
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
        if (info && info->reparse_point)
            return failure(redirected_message);
        std::filesystem::path parent = current.parent_path();
        if (parent.empty() || parent == current)
            return failure(outside_base_message);
        current = std::move(parent);
    }
}

bool is_windows_redirected_name(std::string_view component)
{
    if (component.empty())
        return false;
    if (component.back() == '.' || component.back() == ' ')
        return true;
    // Windows compares the part before the first dot, its trailing blanks removed.
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL"}) {
        if (platform::equal_ignoring_ascii_case(base, device))
            return true;
    }
    if (base.size() < 4)
        return false;
    std::string_view port = base.substr(0, 3);
    if (!platform::equal_ignoring_ascii_case(port, "COM") && !platform::equal_ignoring_ascii_case(port, "LPT"))
        return false;
    std::string_view number = base.substr(3);
    if (number.size() == 1)
        return number[0] >= '0' && number[0] <= '9';
    return number == "\u00B9" || number == "\u00B2" || number == "\u00B3";
}

} // namespace torvane
