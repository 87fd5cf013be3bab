// The strict JSON reader behind the launcher configuration and the file manifest.
//
// It reads one record type at a time straight from the bytes, with no intermediate tree, and
// reports the first fault as "<message> at line L column C" (lines from 1, the column counted in
// bytes since the last line feed). The messages and positions are part of the launcher's
// behaviour and are kept exactly as they are.
#pragma once

#include "platform/result.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// Arrays and objects may nest this deep; one more level is "recursion limit exceeded".
inline constexpr std::size_t json_nesting_limit = 128;

class JsonReader {
public:
    explicit JsonReader(std::string_view input) : input_(input) {}

    // A record in object form (keys matched exactly, unknown keys skipped with their value, a
    // repeated key refused) or in array form (values in field order, fewer allowed, more refused).
    // read_field(i) reads the value of keys[i]; each field is read at most once. `expected` names
    // the record in type errors ("struct LauncherConfig").
    template <class ReadField>
    Status read_record(std::string_view expected, std::span<const std::string_view> keys, ReadField&& read_field);
    // A JSON array; read_element() reads one element.
    template <class ReadElement>
    Status read_list(ReadElement&& read_element);

    // Consumes a null when one comes next and says so; otherwise consumes nothing.
    Result<bool> take_null();
    Result<std::string> read_string();
    Result<bool> read_bool();
    Result<std::int64_t> read_i64();
    // Skips one well-formed value of any kind.
    Status skip_value();
    // Only white space may follow the document.
    Status finish();

private:
    enum class Form { Object, Array };
    enum class NumberKind { Unsigned, Signed, Float };
    struct Number {
        NumberKind kind = NumberKind::Unsigned;
        std::uint64_t unsigned_value = 0;
        std::int64_t signed_value = 0;
        double float_value = 0;
    };

    std::optional<unsigned char> skip_whitespace();
    std::optional<unsigned char> peek() const;
    unsigned char peek_or_null() const;
    void eat() { ++index_; }
    std::optional<unsigned char> next_char();
    unsigned char next_char_or_null();

    // The message positioned at the read position, or one byte past it.
    std::string error(std::string_view message) const;
    std::string peek_error(std::string_view message) const;
    std::string positioned(std::string_view message, std::size_t index) const;

    // Type errors for the value that comes next; scalars are consumed to name them.
    std::string invalid_type(std::string_view expected);

    Result<Form> begin_container(std::string_view expected, bool allow_object);
    Result<std::optional<std::string>> next_key(bool& first);
    Result<bool> next_element(bool& first);
    Status object_colon();
    Status end_container(Form form, Status body);

    Status parse_ident(std::string_view rest);
    Result<std::string> parse_string();
    Status parse_escape(std::string& out);
    Status parse_unicode_escape(std::string& out);
    Result<std::uint16_t> decode_hex_escape();
    Status ignore_string();
    Status ignore_escape();

    Result<Number> parse_integer(bool positive);
    Result<Number> parse_number(bool positive, std::uint64_t significand);
    Result<double> parse_decimal(bool positive, std::uint64_t significand, std::int32_t exponent_before_point);
    Result<double> parse_decimal_overflow(bool positive, std::uint64_t significand, std::int32_t exponent);
    Result<double> parse_long_integer(bool positive, std::uint64_t significand);
    Result<double> parse_exponent(bool positive, std::uint64_t significand, std::int32_t starting_exponent);
    Result<double> parse_exponent_overflow(bool positive, bool zero_significand, bool positive_exponent);
    Result<double> float_from_parts(bool positive, std::uint64_t significand, std::int32_t exponent);
    Status ignore_integer();
    Status ignore_decimal();
    Status ignore_exponent();

    static std::string describe(const Number& number);

    std::string_view input_;
    std::size_t index_ = 0;
    std::size_t depth_ = 0;
    // A record's own fault (a repeated key) is positioned only after the record's end has been
    // looked for, like every fault that belongs to a record rather than to one of its values.
    std::optional<std::string> record_fault_;
    std::vector<char> skip_stack_;
};

template <class ReadField>
Status JsonReader::read_record(std::string_view expected, std::span<const std::string_view> keys, ReadField&& read_field)
{
    Form form = TRY(begin_container(expected, true));
    auto body = [&]() -> Status {
        bool first = true;
        if (form == Form::Array) {
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if (!TRY(next_element(first)))
                    break;
                TRY(read_field(i));
            }
            return {};
        }
        std::uint64_t seen = 0;
        while (auto key = TRY(next_key(first))) {
            std::size_t i = 0;
            while (i < keys.size() && keys[i] != *key)
                ++i;
            if (i == keys.size()) {
                TRY(object_colon());
                TRY(skip_value());
                continue;
            }
            if (seen & (std::uint64_t(1) << i)) {
                record_fault_ = "duplicate field `" + std::string(keys[i]) + "`";
                return failure({});
            }
            seen |= std::uint64_t(1) << i;
            TRY(object_colon());
            TRY(read_field(i));
        }
        return {};
    };
    return end_container(form, body());
}

template <class ReadElement>
Status JsonReader::read_list(ReadElement&& read_element)
{
    Form form = TRY(begin_container("a sequence", false));
    auto body = [&]() -> Status {
        bool first = true;
        while (TRY(next_element(first)))
            TRY(read_element());
        return {};
    };
    return end_container(form, body());
}

// Field readers shared by the record types. A record type R provides
//   Status read_value(JsonReader&, R&);
// found by argument-dependent lookup.

inline Status read_value(JsonReader& reader, std::optional<std::string>& field)
{
    if (TRY(reader.take_null()))
        field.reset();
    else
        field = TRY(reader.read_string());
    return {};
}

inline Status read_value(JsonReader& reader, bool& field)
{
    field = TRY(reader.read_bool());
    return {};
}

inline Status read_value(JsonReader& reader, std::int64_t& field)
{
    field = TRY(reader.read_i64());
    return {};
}

template <class T>
Status read_value(JsonReader& reader, std::optional<std::vector<T>>& field)
{
    if (TRY(reader.take_null())) {
        field.reset();
        return {};
    }
    std::vector<T> items;
    TRY(reader.read_list([&]() -> Status {
        T item;
        TRY(read_value(reader, item));
        items.push_back(std::move(item));
        return {};
    }));
    field = std::move(items);
    return {};
}

template <class T>
Status read_value(JsonReader& reader, std::optional<T>& field)
{
    if (TRY(reader.take_null())) {
        field.reset();
        return {};
    }
    T value;
    TRY(read_value(reader, value));
    field = std::move(value);
    return {};
}

// Reads a record whose fields, in key order, are `fields`.
template <class... Fields>
Status read_record_fields(JsonReader& reader, std::string_view expected,
                          std::span<const std::string_view> keys, Fields&... fields)
{
    static_assert(sizeof...(Fields) <= 64);
    if (keys.size() != sizeof...(Fields))
        fatal("read_record_fields: one key per field");
    return reader.read_record(expected, keys, [&](std::size_t wanted) -> Status {
        Status status;
        std::size_t i = 0;
        (void)((i++ == wanted ? (status = read_value(reader, fields), true) : false) || ...);
        return status;
    });
}

// Reads a whole document of record type R: the value, then nothing but white space.
template <class R>
Result<R> read_json_document(std::string_view input)
{
    JsonReader reader(input);
    R record;
    TRY(read_value(reader, record));
    TRY(reader.finish());
    return record;
}

} // namespace torvane
