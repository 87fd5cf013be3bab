#include "core/json_writer.hpp"

#include "platform/result.hpp"

namespace torvane {

void JsonPrettyWriter::new_line()
{
    out_ += '\n';
    out_.append(2 * has_entry_.size(), ' ');
}

void JsonPrettyWriter::begin_entry()
{
    if (has_entry_.empty())
        return;
    if (has_entry_.back())
        out_ += ',';
    has_entry_.back() = true;
    new_line();
}

void JsonPrettyWriter::before_value()
{
    if (after_key_)
        after_key_ = false;
    else
        begin_entry();
}

void JsonPrettyWriter::key(std::string_view name)
{
    if (after_key_)
        fatal("JsonPrettyWriter: a key needs its value first");
    begin_entry();
    quote(name);
    out_ += ": ";
    after_key_ = true;
}

void JsonPrettyWriter::open(char bracket)
{
    before_value();
    out_ += bracket;
    has_entry_.push_back(false);
}

void JsonPrettyWriter::close(char bracket)
{
    if (has_entry_.empty() || after_key_)
        fatal("JsonPrettyWriter: unbalanced close");
    bool any = has_entry_.back();
    has_entry_.pop_back();
    if (any)
        new_line();
    out_ += bracket;
}

void JsonPrettyWriter::string(std::string_view text)
{
    before_value();
    quote(text);
}

void JsonPrettyWriter::quote(std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out_ += '"';
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out_.append(text.substr(start, i - start));
        start = i + 1;
        switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\b': out_ += "\\b"; break;
        case '\t': out_ += "\\t"; break;
        case '\n': out_ += "\\n"; break;
        case '\f': out_ += "\\f"; break;
        case '\r': out_ += "\\r"; break;
        default:
            out_ += "\\u00";
            out_ += hex[c >> 4];
            out_ += hex[c & 0xF];
        }
    }
    out_.append(text.substr(start));
    out_ += '"';
}

void JsonPrettyWriter::null()
{
    before_value();
    out_ += "null";
}

void JsonPrettyWriter::boolean(bool value)
{
    before_value();
    out_ += value ? "true" : "false";
}

void JsonPrettyWriter::integer(std::int64_t value)
{
    before_value();
    out_ += std::to_string(value);
}

} // namespace torvane
