// Fuzz entry over the configuration and manifest readers. Besides not crashing or hanging, every
// input must either read into a record that the writer turns into a document reading back equal
// (and written again identically), or fail with a message whose position lies inside the input.
#include "core/config_json.hpp"
#include "core/update_manifest.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void broken(const char* what, std::string_view input, std::string_view detail)
{
    std::fprintf(stderr, "config_fuzz: %s\n  detail: %.*s\n  input (%zu bytes):", what, int(detail.size()),
                 detail.data(), input.size());
    for (unsigned char c : input.substr(0, 4096))
        std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

// The message ends with " at line L column C", and line L of the input has at least C bytes.
void check_error_position(const std::string& message, std::string_view input)
{
    std::size_t at = message.rfind(" at line ");
    std::size_t column_at = message.rfind(" column ");
    if (at == std::string::npos || column_at == std::string::npos || column_at < at || at == 0)
        broken("error without a position", input, message);
    std::size_t line = std::strtoull(message.c_str() + at + 9, nullptr, 10);
    std::size_t column = std::strtoull(message.c_str() + column_at + 8, nullptr, 10);
    std::size_t line_start = 0;
    for (std::size_t l = 1; l < line; ++l) {
        std::size_t feed = input.find('\n', line_start);
        if (feed == std::string_view::npos)
            broken("error line past the input", input, message);
        line_start = feed + 1;
    }
    std::size_t line_end = std::min(input.find('\n', line_start), input.size());
    if (line == 0 || column > line_end - line_start)
        broken("error column past the line", input, message);
}

template <class Record, class Format, class Parse>
void check_read(const torvane::Result<Record>& result, std::string_view input, Format format, Parse parse)
{
    if (!result) {
        check_error_position(result.error(), input);
        return;
    }
    std::string text = format(*result);
    auto reread = parse(text);
    if (!reread)
        broken("written document does not read back", input, reread.error());
    if (!(*reread == *result))
        broken("written document reads back different", input, text);
    if (format(*reread) != text)
        broken("document written twice differs", input, text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace torvane;
    std::string_view input(reinterpret_cast<const char*>(data), size);

    std::string_view unmarked = input.starts_with("\xEF\xBB\xBF") ? input.substr(3) : input;
    auto parse_config = [](std::string_view bytes) { return parse_launcher_config(bytes); };
    check_read(parse_launcher_config(input), unmarked, format_launcher_config, parse_config);

    auto parse_manifest = [](std::string_view bytes) { return parse_update_manifest(bytes); };
    check_read(parse_update_manifest(input), input, format_update_manifest, parse_manifest);
    return 0;
}
