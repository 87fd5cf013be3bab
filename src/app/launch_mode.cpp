#include "app/launch_mode.hpp"

#include <bit>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace torvane {

namespace launch_mode {

namespace {
bool same_float(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }
} // namespace

bool Bench::operator==(const Bench& other) const { return report == other.report && same_float(scale, other.scale); }

bool Capture::operator==(const Capture& other) const
{
    return image == other.image && same_float(scale, other.scale) && settings == other.settings &&
           data_file == other.data_file;
}

} // namespace launch_mode

bool matches_option(std::string_view argument, std::string_view option)
{
    if (argument.size() != option.size())
        return false;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        char c = argument[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != option[i])
            return false;
    }
    return true;
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The decimal grammar of parse_float_argument, without the sign.
bool is_decimal_number(std::string_view s)
{
    std::size_t i = 0, integer_digits = 0, fraction_digits = 0;
    while (i < s.size() && is_digit(s[i]))
        ++i, ++integer_digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && is_digit(s[i]))
            ++i, ++fraction_digits;
    }
    if (integer_digits + fraction_digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t exponent_digits = 0;
        while (i < s.size() && is_digit(s[i]))
            ++i, ++exponent_digits;
        if (exponent_digits == 0)
            return false;
    }
    return i == s.size();
}

// Positions of the option's first occurrence, or none.
std::optional<std::size_t> find_option(const std::vector<std::string>& arguments, std::string_view option,
                                       std::size_t from = 0)
{
    for (std::size_t i = from; i < arguments.size(); ++i)
        if (matches_option(arguments[i], option))
            return i;
    return std::nullopt;
}

bool has_option(const std::vector<std::string>& arguments, std::string_view option, std::size_t from = 0)
{
    return find_option(arguments, option, from).has_value();
}

// The argument right after the option's first occurrence, when there is one.
std::optional<std::string> value_after_option(const std::vector<std::string>& arguments, std::string_view option)
{
    auto at = find_option(arguments, option);
    if (!at || *at + 1 >= arguments.size())
        return std::nullopt;
    return arguments[*at + 1];
}

float scale_from(const std::vector<std::string>& arguments)
{
    auto text = value_after_option(arguments, "--escala");
    if (!text)
        return 1.0f;
    return parse_float_argument(*text).value_or(1.0f);
}

} // namespace

std::optional<float> parse_float_argument(std::string_view text)
{
    std::string_view body = text;
    if (!body.empty() && (body[0] == '+' || body[0] == '-'))
        body.remove_prefix(1);
    bool word = matches_option(body, "inf") || matches_option(body, "infinity") || matches_option(body, "nan");
    if (!word && !is_decimal_number(body))
        return std::nullopt;
    // The grammar is checked above; strtof does the correctly rounded conversion (overflow gives
    // infinity, underflow zero). Its own decimal point follows the locale, so use the C locale.
    static locale_t c_locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    std::string terminated(text);
    return ::strtof_l(terminated.c_str(), nullptr, c_locale);
}

LaunchMode choose_mode(const std::vector<std::string>& arguments)
{
    std::size_t n = arguments.size();
    std::string_view first = n > 0 ? std::string_view(arguments[0]) : std::string_view();

    if (n >= 2 && matches_option(first, "--gerar-manifesto")) {
        fs::path folder = arguments[1];
        fs::path output = n >= 3 ? fs::path(arguments[2]) : folder / "manifest.json";
        return launch_mode::GenerateManifest {folder, output, n == 2};
    }
    if (n >= 1 && matches_option(first, "--baixar-cliente"))
        return launch_mode::ClientTest {has_option(arguments, "--teste")};
    if (n >= 1 && matches_option(first, "--testar-atualizacao"))
        return launch_mode::UpdateTest {has_option(arguments, "--teste")};
    if (n >= 2 && matches_option(first, "--bench"))
        return launch_mode::Bench {arguments[1], scale_from(arguments)};
    if (n >= 2 && matches_option(first, "--captura")) {
        std::optional<fs::path> data_file;
        if (auto value = value_after_option(arguments, "--dados"))
            data_file = *value;
        return launch_mode::Capture {arguments[1], scale_from(arguments), has_option(arguments, "cfg", 2), data_file};
    }
    return launch_mode::Gui {has_option(arguments, "--teste")};
}

} // namespace torvane
