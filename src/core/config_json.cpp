#include "core/config_json.hpp"

#include "core/json_reader.hpp"
#include "core/json_writer.hpp"
#include "platform/unicode.hpp"

namespace torvane {

namespace {

constexpr std::string_view config_keys[] = {"ServerName", "GameExe", "CloseAfterStart", "BackgroundVideo", "Links",
                                            "News", "Update", "Info", "Abertura"};
constexpr std::string_view news_keys[] = {"Tag", "Color", "Text", "Url", "Date"};
constexpr std::string_view link_keys[] = {"Text", "Url"};
constexpr std::string_view info_keys[] = {"Label", "Value"};
constexpr std::string_view update_keys[] = {"Enabled", "ManifestUrl", "FilesBaseUrl"};

} // namespace

Status read_value(JsonReader& reader, LauncherNews& news)
{
    return read_record_fields(reader, "struct LauncherNews", news_keys, news.tag, news.color, news.text, news.url,
                              news.date);
}

Status read_value(JsonReader& reader, LauncherLink& link)
{
    return read_record_fields(reader, "struct LauncherLink", link_keys, link.text, link.url);
}

Status read_value(JsonReader& reader, LauncherInfo& info)
{
    return read_record_fields(reader, "struct LauncherInfo", info_keys, info.label, info.value);
}

Status read_value(JsonReader& reader, UpdateConfig& update)
{
    return read_record_fields(reader, "struct UpdateConfig", update_keys, update.enabled, update.manifest_url,
                              update.files_base_url);
}

Status read_value(JsonReader& reader, LauncherConfig& config)
{
    return read_record_fields(reader, "struct LauncherConfig", config_keys, config.server_name, config.game_exe,
                              config.close_after_start, config.background_video, config.links, config.news,
                              config.update, config.info, config.abertura);
}

void write_value(JsonPrettyWriter& writer, const LauncherNews& news)
{
    write_record_fields(writer, news_keys, news.tag, news.color, news.text, news.url, news.date);
}

void write_value(JsonPrettyWriter& writer, const LauncherLink& link)
{
    write_record_fields(writer, link_keys, link.text, link.url);
}

void write_value(JsonPrettyWriter& writer, const LauncherInfo& info)
{
    write_record_fields(writer, info_keys, info.label, info.value);
}

void write_value(JsonPrettyWriter& writer, const UpdateConfig& update)
{
    write_record_fields(writer, update_keys, update.enabled, update.manifest_url, update.files_base_url);
}

Result<LauncherConfig> parse_launcher_config(std::string_view bytes)
{
    return read_json_document<LauncherConfig>(platform::without_utf8_bom(bytes));
}

Result<LauncherConfig> parse_launcher_config_text(std::string_view text)
{
    return read_json_document<LauncherConfig>(text);
}

std::string format_launcher_config(const LauncherConfig& config)
{
    JsonPrettyWriter writer;
    writer.begin_object();
    write_fields(writer, std::span(config_keys).first(8), config.server_name, config.game_exe,
                 config.close_after_start, config.background_video, config.links, config.news, config.update,
                 config.info);
    // An absent opening time is left out rather than written as null.
    if (config.abertura)
        write_fields(writer, std::span(config_keys).last(1), config.abertura);
    writer.end_object();
    return writer.take();
}

} // namespace torvane
