#include "core/launcher_config_cache.hpp"

#include "build_config.hpp"
#include "core/config_json.hpp"
#include "platform/files.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

const std::filesystem::path cache_relative = "Data/Launcher/launcher.json";

std::string web(const char* path) { return std::string(build::web_origin) + path; }

TEST(DefaultLauncherConfig, HoldsTheBuiltInValues)
{
    LauncherConfig config = default_launcher_config();
    EXPECT_EQ(config.server_name, "Torvane");
    EXPECT_EQ(config.game_exe, "Main.exe");
    EXPECT_TRUE(config.close_after_start);
    EXPECT_EQ(config.background_video, "Data\\SS.mp4");
    EXPECT_EQ(config.links, (std::vector<LauncherLink> {
                                {"Site", web("")}, {"Discord", ""}, {"Ranking", web("/rankings")}, {"Loja", web("/credits")}}));
    EXPECT_EQ(config.news, (std::vector<LauncherNews> {
        {"NOVIDADE", "#D9A845", "Sala Principal 2 no ar e troca de sala dentro do jogo (/sala).", web("/media"), "08/10"},
        {"SISTEMA", "#12B880", "Montarias pelo inventário e Prêmio Diário para contas VIP.", web("/media"), "07/10"},
        {"EVENTO", "#B8862B", "Eventos todos os dias. Aperte H no jogo para ver os horários.", web("/info#eventos"), "diário"},
        {"GUIA", "#2E9E5B", "Começando agora? Veja o guia do iniciante no site.", web("/beginner-guide"), "novo"},
    }));
    EXPECT_EQ(config.update, (UpdateConfig {true, std::string(build::service_origin) + "/manifest.json",
                                            std::string(build::service_origin) + "/files"}));
    EXPECT_EQ(config.info, (std::vector<LauncherInfo> {
        {"Versão", "Season 6"},
        {"Experiência", "10x  |  VIP 11,5x  |  Premium 11,5x"},
        {"Reset", "Pontuativo, máx. 50"},
        {"Level do reset", "350 a 400"},
        {"Item máximo", "+11 · Fase 1"},
    }));
    EXPECT_FALSE(config.abertura);
    EXPECT_FALSE(web("").ends_with("/"));
}

TEST(DefaultLauncherConfig, OriginsWithATrailingSlashGiveOneSlashBeforeEachPath)
{
    for (const char* ending : {"", "/", "//"}) {
        SCOPED_TRACE(ending);
        const LauncherConfig config = default_launcher_config(std::string("https://servico:8443") + ending,
                                                              std::string("https://site.exemplo") + ending);
        ASSERT_TRUE(config.update && config.links && config.news);
        EXPECT_EQ(config.update->manifest_url, "https://servico:8443/manifest.json");
        EXPECT_EQ(config.update->files_base_url, "https://servico:8443/files");
        EXPECT_EQ((*config.links)[0].url, "https://site.exemplo");
        EXPECT_EQ((*config.links)[2].url, "https://site.exemplo/rankings");
        EXPECT_EQ((*config.news)[2].url, "https://site.exemplo/info#eventos");
    }
}

TEST(LoadLauncherConfig, WithoutACacheWritesTheBuiltInDocument)
{
    test::TempDir base;
    EXPECT_EQ(load_launcher_config(base.path()), default_launcher_config());
    std::string written = base.read(cache_relative);
    EXPECT_EQ(written, format_launcher_config(default_launcher_config()));
    EXPECT_EQ(written.find("Abertura"), std::string::npos);
    EXPECT_TRUE(written.starts_with("{\n  \"ServerName\": \"Torvane\",\n"));
    EXPECT_EQ(parse_launcher_config(written), default_launcher_config());
}

// The built-in document with the changes a cached document brings.
LauncherConfig defaults_with(auto change)
{
    LauncherConfig config = default_launcher_config();
    change(config);
    return config;
}

TEST(LoadLauncherConfig, CompletesTheCacheFieldByField)
{
    // What an empty cache object yields: built-in names and rows, but no links, news or start flag.
    auto from_empty = [](LauncherConfig& c) {
        c.close_after_start = false;
        c.links = std::vector<LauncherLink> {};
        c.news = std::vector<LauncherNews> {};
    };
    struct Case {
        const char* name;
        std::string cache;
        LauncherConfig expected;
    };
    const Case cases[] = {
        {"empty object", "{}", defaults_with(from_empty)},
        {"blank server name", R"({"ServerName": "   "})", defaults_with(from_empty)},
        {"empty server name and game", R"({"ServerName": "", "GameExe": ""})", defaults_with(from_empty)},
        {"server name of Unicode spaces", R"({"ServerName": "\u3000\u00a0"})", defaults_with(from_empty)},
        {"server name kept untrimmed", R"({"ServerName": " Outro ", "GameExe": "Jogo.exe"})",
         defaults_with([&](LauncherConfig& c) {
             from_empty(c);
             c.server_name = " Outro ";
             c.game_exe = "Jogo.exe";
         })},
        {"flag from the cache", R"({"CloseAfterStart": true})",
         defaults_with([&](LauncherConfig& c) {
             from_empty(c);
             c.close_after_start = true;
         })},
        {"empty background video counts", R"({"BackgroundVideo": ""})",
         defaults_with([&](LauncherConfig& c) {
             from_empty(c);
             c.background_video = "";
         })},
        {"lists from the cache", R"({"Links": [{"Text": "Site"}], "News": [["T"]], "Info": [], "Abertura": "x"})",
         defaults_with([&](LauncherConfig& c) {
             c.close_after_start = false;
             c.links = std::vector<LauncherLink> {{.text = "Site"}};
             c.news = std::vector<LauncherNews> {{.tag = "T"}};
             c.info = std::vector<LauncherInfo> {};
             c.abertura = "x";
         })},
        {"update section without an address", R"({"Update": {"Enabled": false, "FilesBaseUrl": "https://x/f"}})",
         defaults_with(from_empty)},
        {"update section with a blank address", R"({"Update": {"Enabled": false, "ManifestUrl": " "}})",
         defaults_with(from_empty)},
        {"update section used whole", R"({"Update": {"ManifestUrl": "https://x/m.json"}})",
         defaults_with([&](LauncherConfig& c) {
             from_empty(c);
             c.update = UpdateConfig {.enabled = false, .manifest_url = "https://x/m.json"};
         })},
        {"byte-order mark", "\xEF\xBB\xBF{\"ServerName\": \"S\"}",
         defaults_with([&](LauncherConfig& c) {
             from_empty(c);
             c.server_name = "S";
         })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir base;
        base.write(cache_relative, c.cache);
        EXPECT_EQ(load_launcher_config(base.path()), c.expected);
        EXPECT_EQ(base.read(cache_relative), c.cache); // the loader never rewrites an existing cache
    }
}

TEST(LoadLauncherConfig, UnusableCacheYieldsTheBuiltInDocumentAndStays)
{
    const std::string broken[] = {"not json", "{\"ServerName\": 5}", "", "\xEF\xBB\xBF"};
    for (const std::string& cache : broken) {
        SCOPED_TRACE(cache);
        test::TempDir base;
        base.write(cache_relative, cache);
        EXPECT_EQ(load_launcher_config(base.path()), default_launcher_config());
        EXPECT_EQ(base.read(cache_relative), cache);
    }

    test::TempDir base;
    std::filesystem::create_directories(base.path() / cache_relative);
    EXPECT_EQ(load_launcher_config(base.path()), default_launcher_config());
    EXPECT_TRUE(std::filesystem::is_directory(base.path() / cache_relative));
}

// An endless, blocking or oversized cache is an unusable one: the built-in document, at once and
// without running out of memory.
TEST(LoadLauncherConfig, ACacheThatIsNoPlainFileOrTooLargeYieldsTheBuiltInDocument)
{
    test::TempDir base;
    LauncherConfig cached = default_launcher_config();
    cached.server_name = "Servidor em cache";
    const std::string text = format_launcher_config(cached);
    for (test::FileShape shape : test::all_file_shapes) {
        SCOPED_TRACE(test::file_shape_name(shape));
        test::PlantedFile planted(base.path() / cache_relative, shape, text, platform::document_read_limit, ' ');
        EXPECT_EQ(load_launcher_config(base.path()).server_name,
                  shape == test::FileShape::Regular ? "Servidor em cache" : "Torvane");
    }
}

TEST(SaveLauncherConfig, CreatesFoldersAndReportsWriteFailures)
{
    if (!test::posix_file_system())
        GTEST_SKIP() << "Linux's file-system rules and error texts";
    test::TempDir base;
    LauncherConfig config {.server_name = "S", .news = std::vector<LauncherNews> {}};
    auto path = base.path() / "a" / "b" / "launcher.json";
    ASSERT_TRUE(save_launcher_config(config, path));
    EXPECT_EQ(base.read("a/b/launcher.json"), format_launcher_config(config));
    EXPECT_EQ(parse_launcher_config(base.read("a/b/launcher.json")), config);

    // Replacing keeps no temporary beside the file.
    ASSERT_TRUE(save_launcher_config(default_launcher_config(), path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);

    base.write("file", "x");
    auto failed = save_launcher_config(config, base.path() / "file" / "launcher.json");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), "Not a directory (os error 20)");
}

} // namespace
} // namespace torvane
