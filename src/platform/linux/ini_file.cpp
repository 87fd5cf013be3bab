#include "platform/ini_file.hpp"
#include "platform/files.hpp"
#include "platform/unicode.hpp"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace torvane::platform {

namespace {

enum class LineKind { Blank, Comment, Section, Key, Other };

struct Line {
    std::string_view text;       // without its line ending
    std::string_view terminator; // "\r\n", "\n" or empty for a last line without one
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, blanks removed
    std::string_view value; // key value as written, blanks removed
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_blanks(std::string_view text)
{
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && (is_blank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<Line> split_lines(std::string_view text)
{
    std::vector<Line> lines;
    bool first = true;
    while (!text.empty()) {
        Line line;
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            line.text = text;
            text = {};
        } else {
            std::size_t content_end = end > 0 && text[end - 1] == '\r' ? end - 1 : end;
            line.text = text.substr(0, content_end);
            line.terminator = text.substr(content_end, end + 1 - content_end);
            text.remove_prefix(end + 1);
        }
        std::string_view body = line.text;
        if (first)
            body = without_utf8_bom(body);
        first = false;
        body = trim_blanks(body);
        if (body.empty()) {
            line.kind = LineKind::Blank;
        } else if (body.front() == ';') {
            line.kind = LineKind::Comment;
        } else if (body.front() == '[') {
            line.kind = LineKind::Section;
            std::string_view name = body.substr(1);
            name = name.substr(0, name.find(']'));
            line.name = trim_blanks(name);
        } else {
            line.kind = LineKind::Key;
            std::size_t equals = body.find('=');
            line.name = trim_blanks(body.substr(0, equals));
            if (equals != std::string_view::npos)
                line.value = trim_blanks(body.substr(equals + 1));
        }
        lines.push_back(line);
    }
    return lines;
}

struct Place {
    std::size_t section = 0; // index of the section's header line
    std::size_t end = 0;     // one past the section's last line
    std::optional<std::size_t> key;
};

// Where a key stands: its section's lines and the key's line, if any.
std::optional<Place> find_key(const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !equal_ignoring_ascii_case(lines[i].name, section))
            continue;
        Place place{i, lines.size(), std::nullopt};
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            if (lines[j].kind == LineKind::Section) {
                place.end = j;
                break;
            }
            if (!place.key && lines[j].kind == LineKind::Key && equal_ignoring_ascii_case(lines[j].name, key))
                place.key = j;
        }
        return place;
    }
    return std::nullopt;
}

bool has_line_break(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

} // namespace

std::optional<std::string> ini_read_string(const fs::path& file, std::string_view section, std::string_view key)
{
    auto text = read_file(file, document_read_limit);
    if (!text)
        return std::nullopt;
    auto lines = split_lines(*text);
    auto place = find_key(lines, section, key);
    if (!place || !place->key)
        return std::nullopt;
    std::string_view value = lines[*place->key].value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::int32_t ini_read_int(const fs::path& file, std::string_view section, std::string_view key,
                          std::int32_t default_value)
{
    auto value = ini_read_string(file, section, key);
    if (!value || value->empty())
        return default_value;
    std::string_view text = *value;
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint32_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        number = number * 10u + static_cast<std::uint32_t>(c - '0');
    }
    if (negative)
        number = 0u - number;
    return static_cast<std::int32_t>(number);
}

Status ini_write_string(const fs::path& file, std::string_view section, std::string_view key,
                        std::string_view value)
{
    if (has_line_break(section) || has_line_break(key) || has_line_break(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos)
        return failure(os_error_text(EINVAL));
    // Write through a symbolic link to the file it names, as writing in place would.
    fs::path target = file;
    std::error_code error;
    if (fs::is_symlink(file, error))
        target = fs::weakly_canonical(file, error);
    FileInfo info = TRY(file_info(target, FollowLinks::Yes));
    std::string old_text;
    if (info.kind != FileKind::Missing) {
        if (info.kind != FileKind::Regular)
            return failure(os_error_text(EISDIR));
        if (info.read_only)
            return failure(os_error_text(EACCES));
        old_text = TRY(read_file(target, document_read_limit));
    }

    auto lines = split_lines(old_text);
    std::string_view newline = "\r\n";
    for (const auto& line : lines)
        if (!line.terminator.empty()) {
            newline = line.terminator;
            break;
        }

    std::string text;
    auto append_line = [&](const Line& line) {
        text += line.text;
        text += line.terminator;
    };
    auto place = find_key(lines, section, key);
    if (!place) {
        for (const auto& line : lines)
            append_line(line);
        if (!text.empty() && lines.back().terminator.empty())
            text += newline;
        text += "[" + std::string(section) + "]" + std::string(newline);
        text += std::string(key) + "=" + std::string(value) + std::string(newline);
    } else if (place->key) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i != *place->key) {
                append_line(lines[i]);
                continue;
            }
            // Keep the key as it was spelled and what stood before it (blanks, a byte-order mark).
            std::string_view line = lines[i].text;
            auto name_end = static_cast<std::size_t>(lines[i].name.data() - line.data()) + lines[i].name.size();
            text += line.substr(0, name_end);
            text += "=";
            text += value;
            text += lines[i].terminator.empty() ? newline : lines[i].terminator;
        }
    } else {
        // After the section's last non-blank line, so blank lines before the next section stay.
        std::size_t after = place->section;
        for (std::size_t i = place->section + 1; i < place->end; ++i)
            if (lines[i].kind != LineKind::Blank)
                after = i;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            append_line(lines[i]);
            if (i == after) {
                if (lines[i].terminator.empty())
                    text += newline;
                text += std::string(key) + "=" + std::string(value) + std::string(newline);
            }
        }
    }
    return write_file_atomic(target, text);
}

} // namespace torvane::platform
