#include "update/http_answers.hpp"

#include <charconv>

namespace torvane {

std::string http_failure_text(const HttpError& error)
{
    if (error.kind == HttpError::Kind::Status)
        return "o servidor respondeu " + std::to_string(error.status);
    return error.text;
}

namespace {

template <class Number>
std::optional<Number> parse_unsigned_decimal(std::string_view text)
{
    if (text.starts_with('+'))
        text.remove_prefix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    Number value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::uint64_t> parse_header_u64(std::string_view text) { return parse_unsigned_decimal<std::uint64_t>(text); }

std::optional<std::uint32_t> parse_header_u32(std::string_view text) { return parse_unsigned_decimal<std::uint32_t>(text); }

} // namespace torvane
