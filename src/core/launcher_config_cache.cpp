#include "core/launcher_config_cache.hpp"

#include "build_config.hpp"
#include "core/config_json.hpp"
#include "core/json_text.hpp"
#include "core/service_endpoints.hpp"
#include "platform/files.hpp"

namespace torvane {

namespace {

LauncherNews news_item(const char* tag, const char* color, const char* text, std::string url, const char* date)
{
    return {.tag = tag, .color = color, .text = text, .url = std::move(url), .date = date};
}

bool present_and_not_blank(const std::optional<std::string>& text) { return text && !is_blank(*text); }

// The cached document P completed from the built-in document D.
LauncherConfig merge_with_defaults(LauncherConfig parsed, LauncherConfig defaults)
{
    LauncherConfig result;
    result.server_name = present_and_not_blank(parsed.server_name) ? std::move(parsed.server_name)
                                                                    : std::move(defaults.server_name);
    result.game_exe = present_and_not_blank(parsed.game_exe) ? std::move(parsed.game_exe) : std::move(defaults.game_exe);
    result.close_after_start = parsed.close_after_start;
    result.background_video = parsed.background_video ? std::move(parsed.background_video)
                                                      : std::move(defaults.background_video);
    result.links = parsed.links ? std::move(parsed.links) : std::vector<LauncherLink>();
    result.news = parsed.news ? std::move(parsed.news) : std::vector<LauncherNews>();
    // An update section is only usable with a manifest address; otherwise the built-in one is
    // taken whole, so a cache cannot switch updating off by leaving the address out.
    result.update = parsed.update && present_and_not_blank(parsed.update->manifest_url) ? std::move(parsed.update)
                                                                                        : std::move(defaults.update);
    result.info = parsed.info ? std::move(parsed.info) : std::move(defaults.info);
    result.abertura = std::move(parsed.abertura);
    return result;
}

} // namespace

std::filesystem::path launcher_json_cache_path(const std::filesystem::path& base_dir)
{
    return base_dir / "Data" / "Launcher" / "launcher.json";
}

LauncherConfig default_launcher_config() { return default_launcher_config(build::service_origin, build::web_origin); }

LauncherConfig default_launcher_config(std::string_view service_origin, std::string_view web_origin)
{
    auto web_address = [&](std::string_view path) { return service::origin_url(web_origin, path); };
    LauncherConfig config;
    config.server_name = "Torvane";
    config.game_exe = "Main.exe";
    config.close_after_start = true;
    config.background_video = "Data\\SS.mp4";
    config.links = std::vector<LauncherLink> {
        {.text = "Site", .url = web_address("")},
        {.text = "Discord", .url = ""},
        {.text = "Ranking", .url = web_address("/rankings")},
        {.text = "Loja", .url = web_address("/credits")},
    };
    config.news = std::vector<LauncherNews> {
        news_item("NOVIDADE", "#D9A845", "Sala Principal 2 no ar e troca de sala dentro do jogo (/sala).",
                  web_address("/media"), "08/10"),
        news_item("SISTEMA", "#12B880", "Montarias pelo inventário e Prêmio Diário para contas VIP.",
                  web_address("/media"), "07/10"),
        news_item("EVENTO", "#B8862B", "Eventos todos os dias. Aperte H no jogo para ver os horários.",
                  web_address("/info#eventos"), "diário"),
        news_item("GUIA", "#2E9E5B", "Começando agora? Veja o guia do iniciante no site.",
                  web_address("/beginner-guide"), "novo"),
    };
    config.update = UpdateConfig {
        .enabled = true,
        .manifest_url = service::origin_url(service_origin, "/manifest.json"),
        .files_base_url = service::origin_url(service_origin, "/files"),
    };
    config.info = std::vector<LauncherInfo> {
        {.label = "Versão", .value = "Season 6"},
        {.label = "Experiência", .value = "10x  |  VIP 11,5x  |  Premium 11,5x"},
        {.label = "Reset", .value = "Pontuativo, máx. 50"},
        {.label = "Level do reset", .value = "350 a 400"},
        {.label = "Item máximo", .value = "+11 · Fase 1"},
    };
    return config;
}

Status save_launcher_config(const LauncherConfig& config, const std::filesystem::path& path)
{
    (void)platform::create_folders(path.parent_path());
    return platform::write_file_atomic(path, format_launcher_config(config));
}

LauncherConfig load_launcher_config(const std::filesystem::path& base_dir)
{
    std::filesystem::path path = launcher_json_cache_path(base_dir);
    auto info = platform::file_info(path, platform::FollowLinks::Yes);
    if (!info || info->kind == platform::FileKind::Missing) {
        LauncherConfig defaults = default_launcher_config();
        (void)save_launcher_config(defaults, path);
        return defaults;
    }
    auto bytes = platform::read_file(path, platform::document_read_limit);
    if (!bytes)
        return default_launcher_config();
    auto parsed = parse_launcher_config(*bytes);
    if (!parsed)
        return default_launcher_config();
    return merge_with_defaults(std::move(*parsed), default_launcher_config());
}

} // namespace torvane
