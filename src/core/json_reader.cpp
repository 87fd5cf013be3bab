#include "core/json_reader.hpp"

#include "core/json_text.hpp"
#include "platform/text.hpp"
#include "platform/unicode.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace torvane {

namespace {

constexpr std::string_view eof_value = "EOF while parsing a value";
constexpr std::string_view eof_list = "EOF while parsing a list";
constexpr std::string_view eof_object = "EOF while parsing an object";
constexpr std::string_view eof_string = "EOF while parsing a string";
constexpr std::string_view expected_colon = "expected `:`";
constexpr std::string_view expected_list_comma = "expected `,` or `]`";
constexpr std::string_view expected_object_comma = "expected `,` or `}`";
constexpr std::string_view expected_ident = "expected ident";
constexpr std::string_view expected_value = "expected value";
constexpr std::string_view invalid_escape = "invalid escape";
constexpr std::string_view invalid_number = "invalid number";
constexpr std::string_view number_out_of_range = "number out of range";
constexpr std::string_view invalid_code_point = "invalid unicode code point";
constexpr std::string_view control_character = "control character (\\u0000-\\u001F) found while parsing a string";
constexpr std::string_view key_must_be_string = "key must be a string";
constexpr std::string_view lone_surrogate = "lone leading surrogate in hex escape";
constexpr std::string_view trailing_comma = "trailing comma";
constexpr std::string_view trailing_characters = "trailing characters";
constexpr std::string_view end_of_hex_escape = "unexpected end of hex escape";
constexpr std::string_view recursion_limit = "recursion limit exceeded";

bool is_whitespace(unsigned char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// Powers of ten as the nearest doubles, 1e0 to 1e308.
const std::array<double, 309>& powers_of_ten()
{
    static const std::array<double, 309> table = [] {
        std::array<double, 309> powers {};
        for (int i = 0; i < 309; ++i) {
            std::string text = "1e" + std::to_string(i);
            std::from_chars(text.data(), text.data() + text.size(), powers[std::size_t(i)]);
        }
        return powers;
    }();
    return table;
}

// a * 10 + b would exceed limit.
template <class T>
bool overflows(T a, T b, T limit)
{
    return a >= limit / 10 && (a > limit / 10 || b > limit % 10);
}

} // namespace

// ---- positions and errors

std::string JsonReader::positioned(std::string_view message, std::size_t index) const
{
    std::size_t line = 1, line_start = 0;
    for (std::size_t i = 0; i < index; ++i)
        if (input_[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    std::string text(message);
    text += " at line " + std::to_string(line) + " column " + std::to_string(index - line_start);
    return text;
}

std::string JsonReader::error(std::string_view message) const { return positioned(message, index_); }

std::string JsonReader::peek_error(std::string_view message) const
{
    return positioned(message, std::min(input_.size(), index_ + 1));
}

// ---- bytes

std::optional<unsigned char> JsonReader::peek() const
{
    if (index_ < input_.size())
        return static_cast<unsigned char>(input_[index_]);
    return std::nullopt;
}

unsigned char JsonReader::peek_or_null() const { return peek().value_or(0); }

std::optional<unsigned char> JsonReader::next_char()
{
    auto c = peek();
    if (c)
        ++index_;
    return c;
}

unsigned char JsonReader::next_char_or_null() { return next_char().value_or(0); }

std::optional<unsigned char> JsonReader::skip_whitespace()
{
    while (index_ < input_.size() && is_whitespace(static_cast<unsigned char>(input_[index_])))
        ++index_;
    return peek();
}

Status JsonReader::parse_ident(std::string_view rest)
{
    for (char expected : rest) {
        auto c = next_char();
        if (!c)
            return failure(error(eof_value));
        if (*c != static_cast<unsigned char>(expected))
            return failure(error(expected_ident));
    }
    return {};
}

Status JsonReader::finish()
{
    if (skip_whitespace())
        return failure(peek_error(trailing_characters));
    return {};
}

// ---- type errors

std::string JsonReader::describe(const Number& number)
{
    switch (number.kind) {
    case NumberKind::Unsigned:
        return "integer `" + std::to_string(number.unsigned_value) + "`";
    case NumberKind::Signed:
        return "integer `" + std::to_string(number.signed_value) + "`";
    case NumberKind::Float:
        break;
    }
    return "floating point `" + shortest_float_text(number.float_value) + "`";
}

std::string JsonReader::invalid_type(std::string_view expected)
{
    std::string found;
    switch (unsigned char c = peek_or_null()) {
    case 'n':
        eat();
        if (auto ok = parse_ident("ull"); !ok)
            return ok.error();
        found = "null";
        break;
    case 't':
        eat();
        if (auto ok = parse_ident("rue"); !ok)
            return ok.error();
        found = "boolean `true`";
        break;
    case 'f':
        eat();
        if (auto ok = parse_ident("alse"); !ok)
            return ok.error();
        found = "boolean `false`";
        break;
    case '"': {
        eat();
        auto text = parse_string();
        if (!text)
            return text.error();
        found = "string " + debug_quoted(*text);
        break;
    }
    case '[':
        found = "sequence";
        break;
    case '{':
        found = "map";
        break;
    default: {
        if (c != '-' && !is_digit(c))
            return peek_error(expected_value);
        bool positive = c != '-';
        if (!positive)
            eat();
        auto number = parse_integer(positive);
        if (!number)
            return number.error();
        found = describe(*number);
        break;
    }
    }
    return error("invalid type: " + found + ", expected " + std::string(expected));
}

// ---- containers

Result<JsonReader::Form> JsonReader::begin_container(std::string_view expected, bool allow_object)
{
    auto c = skip_whitespace();
    if (!c)
        return failure(peek_error(eof_value));
    if (*c != '[' && !(allow_object && *c == '{'))
        return failure(invalid_type(expected));
    if (depth_ >= json_nesting_limit)
        return failure(peek_error(recursion_limit));
    ++depth_;
    eat();
    return *c == '{' ? Form::Object : Form::Array;
}

Status JsonReader::end_container(Form form, Status body)
{
    --depth_;
    // The end is looked for even after a fault inside: it decides where a record's own fault lies.
    Status end;
    auto c = skip_whitespace();
    if (form == Form::Object) {
        if (c == '}')
            eat();
        else if (c == ',')
            end = failure(peek_error(trailing_comma));
        else if (c)
            end = failure(peek_error(trailing_characters));
        else
            end = failure(peek_error(eof_object));
    } else {
        if (c == ']') {
            eat();
        } else if (c == ',') {
            eat();
            end = failure(peek_error(skip_whitespace() == ']' ? trailing_comma : trailing_characters));
        } else if (c) {
            // Every element the record or list takes has been read: what follows is too much.
            end = failure(peek_error(trailing_characters));
        } else {
            end = failure(peek_error(eof_list));
        }
    }
    if (!body) {
        if (record_fault_) {
            std::string message = error(*record_fault_);
            record_fault_.reset();
            return failure(std::move(message));
        }
        return body;
    }
    return end;
}

Result<std::optional<std::string>> JsonReader::next_key(bool& first)
{
    auto c = skip_whitespace();
    if (!c)
        return failure(peek_error(eof_object));
    if (*c == '}')
        return std::optional<std::string>();
    if (first) {
        first = false;
        if (*c != '"')
            return failure(peek_error(key_must_be_string));
    } else if (*c == ',') {
        eat();
        auto next = skip_whitespace();
        if (next == '}')
            return failure(peek_error(trailing_comma));
        if (!next)
            return failure(peek_error(eof_value));
        if (*next != '"')
            return failure(peek_error(key_must_be_string));
    } else {
        return failure(peek_error(expected_object_comma));
    }
    eat();
    return std::optional<std::string>(TRY(parse_string()));
}

Result<bool> JsonReader::next_element(bool& first)
{
    auto c = skip_whitespace();
    if (!c)
        return failure(peek_error(eof_list));
    if (*c == ']')
        return false;
    if (first) {
        first = false;
        return true;
    }
    if (*c != ',')
        return failure(peek_error(expected_list_comma));
    eat();
    auto next = skip_whitespace();
    if (next == ']')
        return failure(peek_error(trailing_comma));
    if (!next)
        return failure(peek_error(eof_value));
    return true;
}

Status JsonReader::object_colon()
{
    auto c = skip_whitespace();
    if (c == ':') {
        eat();
        return {};
    }
    return failure(peek_error(c ? expected_colon : eof_object));
}

// ---- scalars

Result<bool> JsonReader::take_null()
{
    if (skip_whitespace() != 'n')
        return false;
    eat();
    TRY(parse_ident("ull"));
    return true;
}

Result<std::string> JsonReader::read_string()
{
    auto c = skip_whitespace();
    if (!c)
        return failure(peek_error(eof_value));
    if (*c != '"')
        return failure(invalid_type("a string"));
    eat();
    return parse_string();
}

Result<bool> JsonReader::read_bool()
{
    auto c = skip_whitespace();
    if (!c)
        return failure(peek_error(eof_value));
    if (*c == 't') {
        eat();
        TRY(parse_ident("rue"));
        return true;
    }
    if (*c == 'f') {
        eat();
        TRY(parse_ident("alse"));
        return false;
    }
    return failure(invalid_type("a boolean"));
}

Result<std::int64_t> JsonReader::read_i64()
{
    auto c = skip_whitespace();
    if (!c)
        return failure(peek_error(eof_value));
    if (*c != '-' && !is_digit(*c))
        return failure(invalid_type("i64"));
    bool positive = *c != '-';
    if (!positive)
        eat();
    Number number = TRY(parse_integer(positive));
    switch (number.kind) {
    case NumberKind::Signed:
        return number.signed_value;
    case NumberKind::Unsigned:
        if (number.unsigned_value <= std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            return std::int64_t(number.unsigned_value);
        return failure(error("invalid value: " + describe(number) + ", expected i64"));
    case NumberKind::Float:
        break;
    }
    return failure(error("invalid type: " + describe(number) + ", expected i64"));
}

// ---- strings

Result<std::string> JsonReader::parse_string()
{
    std::string out;
    for (;;) {
        std::size_t start = index_;
        while (index_ < input_.size()) {
            unsigned char c = static_cast<unsigned char>(input_[index_]);
            if (c == '"' || c == '\\' || c < 0x20)
                break;
            ++index_;
        }
        out.append(input_.substr(start, index_ - start));
        if (index_ == input_.size())
            return failure(error(eof_string));
        unsigned char c = static_cast<unsigned char>(input_[index_]);
        ++index_;
        if (c == '"') {
            if (!is_valid_utf8(out))
                return failure(error(invalid_code_point));
            return out;
        }
        if (c != '\\')
            return failure(error(control_character));
        TRY(parse_escape(out));
    }
}

Status JsonReader::parse_escape(std::string& out)
{
    auto c = next_char();
    if (!c)
        return failure(error(eof_string));
    switch (*c) {
    case '"': out += '"'; break;
    case '\\': out += '\\'; break;
    case '/': out += '/'; break;
    case 'b': out += '\b'; break;
    case 'f': out += '\f'; break;
    case 'n': out += '\n'; break;
    case 'r': out += '\r'; break;
    case 't': out += '\t'; break;
    case 'u': return parse_unicode_escape(out);
    default: return failure(error(invalid_escape));
    }
    return {};
}

Status JsonReader::parse_unicode_escape(std::string& out)
{
    std::uint16_t first = TRY(decode_hex_escape());
    if (first >= 0xDC00 && first <= 0xDFFF)
        return failure(error(lone_surrogate));
    if (first < 0xD800 || first > 0xDBFF) {
        platform::append_utf8(out, first);
        return {};
    }
    // A leading surrogate must be followed by an escaped trailing one.
    for (char wanted : {'\\', 'u'}) {
        auto c = peek();
        if (!c)
            return failure(error(eof_string));
        eat();
        if (*c != static_cast<unsigned char>(wanted))
            return failure(error(end_of_hex_escape));
    }
    std::uint16_t second = TRY(decode_hex_escape());
    if (second < 0xDC00 || second > 0xDFFF)
        return failure(error(lone_surrogate));
    platform::append_utf8(out, ((std::uint32_t(first - 0xD800) << 10) | std::uint32_t(second - 0xDC00)) + 0x10000);
    return {};
}

Result<std::uint16_t> JsonReader::decode_hex_escape()
{
    if (input_.size() - index_ < 4) {
        index_ = input_.size();
        return failure(error(eof_string));
    }
    int value = 0;
    bool valid = true;
    for (int i = 0; i < 4; ++i) {
        int digit = platform::hex_digit_value(input_[index_ + std::size_t(i)]);
        valid = valid && digit >= 0;
        value = value * 16 + (digit < 0 ? 0 : digit);
    }
    index_ += 4;
    if (!valid)
        return failure(error(invalid_escape));
    return std::uint16_t(value);
}

// Skipped strings are checked for their syntax only.
Status JsonReader::ignore_string()
{
    for (;;) {
        while (index_ < input_.size()) {
            unsigned char c = static_cast<unsigned char>(input_[index_]);
            if (c == '"' || c == '\\' || c < 0x20)
                break;
            ++index_;
        }
        if (index_ == input_.size())
            return failure(error(eof_string));
        unsigned char c = static_cast<unsigned char>(input_[index_]);
        if (c == '"') {
            ++index_;
            return {};
        }
        if (c != '\\')
            return failure(error(control_character));
        ++index_;
        TRY(ignore_escape());
    }
}

Status JsonReader::ignore_escape()
{
    auto c = next_char();
    if (!c)
        return failure(error(eof_string));
    switch (*c) {
    case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't':
        return {};
    case 'u':
        TRY(decode_hex_escape());
        return {};
    default:
        return failure(error(invalid_escape));
    }
}

// ---- numbers

Result<JsonReader::Number> JsonReader::parse_integer(bool positive)
{
    auto first = next_char();
    if (!first)
        return failure(error(eof_value));
    if (*first == '0') {
        if (is_digit(peek_or_null()))
            return failure(peek_error(invalid_number));
        return parse_number(positive, 0);
    }
    if (!is_digit(*first))
        return failure(error(invalid_number));
    std::uint64_t significand = *first - '0';
    for (;;) {
        unsigned char c = peek_or_null();
        if (!is_digit(c))
            return parse_number(positive, significand);
        std::uint64_t digit = c - '0';
        if (overflows(significand, digit, std::numeric_limits<std::uint64_t>::max())) {
            // Too long for 64 bits: the value becomes a float.
            Number number {.kind = NumberKind::Float};
            number.float_value = TRY(parse_long_integer(positive, significand));
            return number;
        }
        eat();
        significand = significand * 10 + digit;
    }
}

Result<JsonReader::Number> JsonReader::parse_number(bool positive, std::uint64_t significand)
{
    Number number;
    unsigned char c = peek_or_null();
    if (c == '.') {
        number.kind = NumberKind::Float;
        number.float_value = TRY(parse_decimal(positive, significand, 0));
    } else if (c == 'e' || c == 'E') {
        number.kind = NumberKind::Float;
        number.float_value = TRY(parse_exponent(positive, significand, 0));
    } else if (positive) {
        number.unsigned_value = significand;
    } else {
        // A negative integer that does not fit 64 signed bits, and minus zero, are floats.
        std::int64_t negated = std::int64_t(~significand + 1);
        if (negated >= 0) {
            number.kind = NumberKind::Float;
            number.float_value = -double(significand);
        } else {
            number.kind = NumberKind::Signed;
            number.signed_value = negated;
        }
    }
    return number;
}

Result<double> JsonReader::parse_decimal(bool positive, std::uint64_t significand, std::int32_t exponent_before_point)
{
    eat();
    std::int32_t exponent_after_point = 0;
    for (unsigned char c; is_digit(c = peek_or_null());) {
        std::uint64_t digit = c - '0';
        if (overflows(significand, digit, std::numeric_limits<std::uint64_t>::max()))
            return parse_decimal_overflow(positive, significand, exponent_before_point + exponent_after_point);
        eat();
        significand = significand * 10 + digit;
        --exponent_after_point;
    }
    if (exponent_after_point == 0)
        return failure(peek_error(peek() ? invalid_number : eof_value));
    std::int32_t exponent = exponent_before_point + exponent_after_point;
    unsigned char c = peek_or_null();
    if (c == 'e' || c == 'E')
        return parse_exponent(positive, significand, exponent);
    return float_from_parts(positive, significand, exponent);
}

Result<double> JsonReader::parse_decimal_overflow(bool positive, std::uint64_t significand, std::int32_t exponent)
{
    // Digits past what 64 bits hold no longer change the value.
    while (is_digit(peek_or_null()))
        eat();
    unsigned char c = peek_or_null();
    if (c == 'e' || c == 'E')
        return parse_exponent(positive, significand, exponent);
    return float_from_parts(positive, significand, exponent);
}

Result<double> JsonReader::parse_long_integer(bool positive, std::uint64_t significand)
{
    std::int32_t exponent = 0;
    for (;;) {
        unsigned char c = peek_or_null();
        if (is_digit(c)) {
            eat();
            if (exponent < std::numeric_limits<std::int32_t>::max())
                ++exponent;
        } else if (c == '.') {
            return parse_decimal(positive, significand, exponent);
        } else if (c == 'e' || c == 'E') {
            return parse_exponent(positive, significand, exponent);
        } else {
            return float_from_parts(positive, significand, exponent);
        }
    }
}

Result<double> JsonReader::parse_exponent(bool positive, std::uint64_t significand, std::int32_t starting_exponent)
{
    eat();
    bool positive_exponent = true;
    if (unsigned char sign = peek_or_null(); sign == '+' || sign == '-') {
        eat();
        positive_exponent = sign == '+';
    }
    auto first = next_char();
    if (!first)
        return failure(error(eof_value));
    if (!is_digit(*first))
        return failure(error(invalid_number));
    std::int32_t exponent = *first - '0';
    for (unsigned char c; is_digit(c = peek_or_null());) {
        eat();
        std::int32_t digit = c - '0';
        if (overflows(exponent, digit, std::numeric_limits<std::int32_t>::max()))
            return parse_exponent_overflow(positive, significand == 0, positive_exponent);
        exponent = exponent * 10 + digit;
    }
    std::int64_t total = positive_exponent ? std::int64_t(starting_exponent) + exponent
                                           : std::int64_t(starting_exponent) - exponent;
    total = std::clamp<std::int64_t>(total, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    return float_from_parts(positive, significand, std::int32_t(total));
}

Result<double> JsonReader::parse_exponent_overflow(bool positive, bool zero_significand, bool positive_exponent)
{
    if (!zero_significand && positive_exponent)
        return failure(error(number_out_of_range));
    while (is_digit(peek_or_null()))
        eat();
    return positive ? 0.0 : -0.0;
}

Result<double> JsonReader::float_from_parts(bool positive, std::uint64_t significand, std::int32_t exponent)
{
    const auto& powers = powers_of_ten();
    double value = double(significand);
    for (;;) {
        std::int64_t magnitude = exponent < 0 ? -std::int64_t(exponent) : exponent;
        if (magnitude < std::int64_t(powers.size())) {
            double power = powers[std::size_t(magnitude)];
            if (exponent >= 0) {
                value *= power;
                if (value == std::numeric_limits<double>::infinity())
                    return failure(error(number_out_of_range));
            } else {
                value /= power;
            }
            break;
        }
        if (value == 0)
            break;
        if (exponent >= 0)
            return failure(error(number_out_of_range));
        value /= 1e308;
        exponent += 308;
    }
    return positive ? value : -value;
}

Status JsonReader::ignore_integer()
{
    unsigned char first = next_char_or_null();
    if (first == '0') {
        if (is_digit(peek_or_null()))
            return failure(peek_error(invalid_number));
    } else if (first >= '1' && first <= '9') {
        while (is_digit(peek_or_null()))
            eat();
    } else {
        return failure(error(invalid_number));
    }
    unsigned char c = peek_or_null();
    if (c == '.')
        return ignore_decimal();
    if (c == 'e' || c == 'E')
        return ignore_exponent();
    return {};
}

Status JsonReader::ignore_decimal()
{
    eat();
    bool any_digit = false;
    while (is_digit(peek_or_null())) {
        eat();
        any_digit = true;
    }
    if (!any_digit)
        return failure(peek_error(invalid_number));
    unsigned char c = peek_or_null();
    if (c == 'e' || c == 'E')
        return ignore_exponent();
    return {};
}

Status JsonReader::ignore_exponent()
{
    eat();
    if (unsigned char sign = peek_or_null(); sign == '+' || sign == '-')
        eat();
    if (!is_digit(next_char_or_null()))
        return failure(error(invalid_number));
    while (is_digit(peek_or_null()))
        eat();
    return {};
}

// ---- skipping

Status JsonReader::skip_value()
{
    // Open containers, outermost first, kept on the heap so that deep input cannot exhaust the
    // stack; `enclosing` is the innermost one.
    skip_stack_.clear();
    std::optional<char> enclosing;
    for (;;) {
        auto c = skip_whitespace();
        if (!c)
            return failure(peek_error(eof_value));
        std::optional<char> opened;
        switch (*c) {
        case 'n': eat(); TRY(parse_ident("ull")); break;
        case 't': eat(); TRY(parse_ident("rue")); break;
        case 'f': eat(); TRY(parse_ident("alse")); break;
        case '-': eat(); TRY(ignore_integer()); break;
        case '"': eat(); TRY(ignore_string()); break;
        case '[':
        case '{': {
            std::size_t open = skip_stack_.size() + (enclosing ? 1 : 0);
            if (depth_ + open >= json_nesting_limit)
                return failure(peek_error(recursion_limit));
            if (enclosing)
                skip_stack_.push_back(*enclosing);
            enclosing.reset();
            eat();
            opened = char(*c);
            break;
        }
        default:
            if (!is_digit(*c))
                return failure(peek_error(expected_value));
            TRY(ignore_integer());
            break;
        }

        bool accept_comma;
        char frame;
        if (opened) {
            accept_comma = false;
            frame = *opened;
        } else if (enclosing) {
            accept_comma = true;
            frame = *enclosing;
            enclosing.reset();
        } else if (!skip_stack_.empty()) {
            accept_comma = true;
            frame = skip_stack_.back();
            skip_stack_.pop_back();
        } else {
            return {};
        }

        // Close every container that ends here.
        for (;;) {
            auto next = skip_whitespace();
            if (next == ',' && accept_comma) {
                eat();
                break;
            }
            bool closes = (next == ']' && frame == '[') || (next == '}' && frame == '{');
            if (!closes) {
                if (!next)
                    return failure(peek_error(frame == '[' ? eof_list : eof_object));
                if (accept_comma)
                    return failure(peek_error(frame == '[' ? expected_list_comma : expected_object_comma));
                break;
            }
            eat();
            if (skip_stack_.empty())
                return {};
            frame = skip_stack_.back();
            skip_stack_.pop_back();
            accept_comma = true;
        }

        if (frame == '{') {
            auto quote = skip_whitespace();
            if (!quote)
                return failure(peek_error(eof_object));
            if (*quote != '"')
                return failure(peek_error(key_must_be_string));
            eat();
            TRY(ignore_string());
            auto colon = skip_whitespace();
            if (!colon)
                return failure(peek_error(eof_object));
            if (*colon != ':')
                return failure(peek_error(expected_colon));
            eat();
        }
        enclosing = frame;
    }
}

} // namespace torvane
