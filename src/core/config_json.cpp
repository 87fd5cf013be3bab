#include "core/config_json.hpp"

#include "core/json_reader.hpp"
#include "core/json_writer.hpp"

namespace torvane {

namespace {

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

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
    writer.begin_object();
    writer.key("Tag"), write_value(writer, news.tag);
    writer.key("Color"), write_value(writer, news.color);
    writer.key("Text"), write_value(writer, news.text);
    writer.key("Url"), write_value(writer, news.url);
    writer.key("Date"), write_value(writer, news.date);
    writer.end_object();
}

void write_value(JsonPrettyWriter& writer, const LauncherLink& link)
{
    writer.begin_object();
    writer.key("Text"), write_value(writer, link.text);
    writer.key("Url"), write_value(writer, link.url);
    writer.end_object();
}

void write_value(JsonPrettyWriter& writer, const LauncherInfo& info)
{
    writer.begin_object();
    writer.key("Label"), write_value(writer, info.label);
    writer.key("Value"), write_value(writer, info.value);
    writer.end_object();
}

void write_value(JsonPrettyWriter& writer, const UpdateConfig& update)
{
    writer.begin_object();
    writer.key("Enabled"), write_value(writer, update.enabled);
    writer.key("ManifestUrl"), write_value(writer, update.manifest_url);
    writer.key("FilesBaseUrl"), write_value(writer, update.files_base_url);
    writer.end_object();
}

Result<LauncherConfig> parse_launcher_config(std::string_view bytes)
{
    if (bytes.starts_with(utf8_bom))
        bytes.remove_prefix(utf8_bom.size());
    return read_json_document<LauncherConfig>(bytes);
}

Result<LauncherConfig> parse_launcher_config_text(std::string_view text)
{
    return read_json_document<LauncherConfig>(text);
}

std::string format_launcher_config(const LauncherConfig& config)
{
    JsonPrettyWriter writer;
    writer.begin_object();
    writer.key("ServerName"), write_value(writer, config.server_name);
    writer.key("GameExe"), write_value(writer, config.game_exe);
    writer.key("CloseAfterStart"), write_value(writer, config.close_after_start);
    writer.key("BackgroundVideo"), write_value(writer, config.background_video);
    writer.key("Links"), write_value(writer, config.links);
    writer.key("News"), write_value(writer, config.news);
    writer.key("Update"), write_value(writer, config.update);
    writer.key("Info"), write_value(writer, config.info);
    if (config.abertura)
        writer.key("Abertura"), write_value(writer, config.abertura);
    writer.end_object();
    return writer.take();
}

} // namespace torvane
