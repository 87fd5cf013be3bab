#include "app/launch_mode.hpp"

#include "core/util.hpp"
#include "platform/unicode.hpp"
#include "platform/path_text.hpp"

#include <bit>

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
    return platform::equal_ignoring_ascii_case(argument, option);
}

namespace {

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
    return parse_decimal_float(*text).value_or(1.0f);
}

} // namespace

LaunchMode choose_mode(const std::vector<std::string>& arguments)
{
    std::size_t n = arguments.size();
    std::string_view first = n > 0 ? std::string_view(arguments[0]) : std::string_view();

    if (n >= 2 && matches_option(first, "--gerar-manifesto")) {
        fs::path folder = platform::utf8_path(arguments[1]);
        fs::path output = n >= 3 ? platform::utf8_path(arguments[2]) : folder / "manifest.json";
        return launch_mode::GenerateManifest {folder, output, n == 2};
    }
    if (n >= 1 && matches_option(first, "--baixar-cliente"))
        return launch_mode::ClientTest {has_option(arguments, "--teste")};
    if (n >= 1 && matches_option(first, "--testar-atualizacao"))
        return launch_mode::UpdateTest {has_option(arguments, "--teste")};
    if (n >= 2 && matches_option(first, "--bench"))
        return launch_mode::Bench {platform::utf8_path(arguments[1]), scale_from(arguments)};
    if (n >= 2 && matches_option(first, "--captura")) {
        std::optional<fs::path> data_file;
        if (auto value = value_after_option(arguments, "--dados"))
            data_file = platform::utf8_path(*value);
        return launch_mode::Capture {platform::utf8_path(arguments[1]), scale_from(arguments), has_option(arguments, "cfg", 2), data_file};
    }
    return launch_mode::Gui {has_option(arguments, "--teste")};
}

} // namespace torvane
