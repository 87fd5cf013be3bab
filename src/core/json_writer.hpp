// The pretty JSON writer of the configuration and the file manifest: two-space indentation, ": "
// after keys, one entry per line, "[]" and "{}" when empty, no final line feed. Strings are
// written byte for byte except for the quote, the backslash and control characters, which are
// escaped; non-ASCII text is not escaped.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

class JsonPrettyWriter {
public:
    JsonPrettyWriter() { out_.reserve(128); }

    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array() { open('['); }
    void end_array() { close(']'); }
    // Starts an entry of the current object; its value follows.
    void key(std::string_view name);

    void string(std::string_view text);
    void null();
    void boolean(bool value);
    void integer(std::int64_t value);

    // The document written so far.
    std::string take() { return std::move(out_); }

private:
    void open(char bracket);
    void close(char bracket);
    // Separator and indentation before an array element or an object key.
    void begin_entry();
    void before_value();
    void new_line();
    void quote(std::string_view text);

    std::string out_;
    // Per open container: whether it has an entry yet.
    std::vector<bool> has_entry_;
    bool after_key_ = false;
};

// Value writers shared by the record types. A record type R provides
//   void write_value(JsonPrettyWriter&, const R&);
// found by argument-dependent lookup.

inline void write_value(JsonPrettyWriter& writer, const std::optional<std::string>& value)
{
    if (value)
        writer.string(*value);
    else
        writer.null();
}

inline void write_value(JsonPrettyWriter& writer, bool value) { writer.boolean(value); }
inline void write_value(JsonPrettyWriter& writer, std::int64_t value) { writer.integer(value); }

template <class T>
void write_value(JsonPrettyWriter& writer, const std::optional<std::vector<T>>& list)
{
    if (!list) {
        writer.null();
        return;
    }
    writer.begin_array();
    for (const T& item : *list)
        write_value(writer, item);
    writer.end_array();
}

template <class T>
void write_value(JsonPrettyWriter& writer, const std::optional<T>& value)
{
    if (value)
        write_value(writer, *value);
    else
        writer.null();
}

// Writes the entries `keys[i]: fields[i]` into the current object.
template <class... Fields>
void write_fields(JsonPrettyWriter& writer, std::span<const std::string_view> keys, const Fields&... fields)
{
    std::size_t i = 0;
    ((writer.key(keys[i++]), write_value(writer, fields)), ...);
}

// Writes a record as an object of its fields in key order.
template <class... Fields>
void write_record_fields(JsonPrettyWriter& writer, std::span<const std::string_view> keys, const Fields&... fields)
{
    writer.begin_object();
    write_fields(writer, keys, fields...);
    writer.end_object();
}

} // namespace torvane
