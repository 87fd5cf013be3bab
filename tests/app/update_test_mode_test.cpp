#include "app/update_test_mode.hpp"

#include "app/modes.hpp"
#include "core/launcher_config_cache.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace torvane {
namespace {

ui_message::Progress report(std::string text, std::string detail = {})
{
    return {{.text = std::move(text), .detail = std::move(detail)}};
}

TEST(UpdateTestStatusLogger, LogsEachPhaseOnceAndEachDownloadedFileOnce)
{
    struct Case {
        const char* name;
        std::vector<ui_message::Progress> reports;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a phase with changing details is logged at its first report",
         {report("Buscando atualizações..."), report("Verificando arquivos..."), report("Verificando arquivos...", "a.txt"),
          report("Verificando arquivos...", "b.txt")},
         {"Buscando atualizações...", "Verificando arquivos..."}},
        {"downloads once per file",
         {report("Baixando atualização...", "a.bin"), report("Baixando atualização...", "a.bin"),
          report("Baixando atualização...", "b.bin"), report("Atualização concluída.")},
         {"Baixando atualização... a.bin", "Baixando atualização... b.bin", "Atualização concluída."}},
        {"a line seen before is not repeated after another phase",
         {report("Verificando arquivos..."), report("Cliente atualizado."), report("Verificando arquivos..."),
          report("Verificando arquivos...", "x")},
         {"Verificando arquivos...", "Cliente atualizado."}},
        {"short labels",
         {report("Baix"), report("Baix", "1"), report("ok"), report("ok")},
         {"Baix", "ok"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateTestStatusLogger logger;
        for (const auto& r : c.reports)
            logger.call(r);
        logger.call(ui_message::ServerStatus {.online = true}); // not a progress report: ignored
        EXPECT_EQ(logger.lines(), c.lines);
    }
}

TEST(UpdateTestSuccessLine, OneDecimalWithAComma)
{
    struct Case {
        double seconds;
        const char* line;
    };
    const Case cases[] = {{12.34, "OK em 12,3 s"}, {0.04, "OK em 0,0 s"}, {0.0, "OK em 0,0 s"}, {59.96, "OK em 60,0 s"}};
    for (const Case& c : cases)
        EXPECT_EQ(update_test_success_line(c.seconds), c.line);
    EXPECT_EQ(join_log_lines({"a", "b"}), "a\r\nb\r\n");
    EXPECT_EQ(join_log_lines({}), "");
}

class RunUpdateTestMode : public ::testing::Test {
protected:
    void configure(UpdateConfig update)
    {
        LauncherConfig config = default_launcher_config();
        config.update = std::move(update);
        ASSERT_TRUE(save_launcher_config(config, launcher_json_cache_path(dir_.path())));
    }
    std::string log() const { return dir_.read("Data/Launcher/atualizacao_teste.log"); }

    test::TempDir dir_;
};

TEST_F(RunUpdateTestMode, ADisabledUpdateLogsOnlyTheTime)
{
    configure({.enabled = false, .manifest_url = "https://127.0.0.1:1/manifest.json"});
    EXPECT_EQ(run_update_test(dir_.path(), false), 0);
    EXPECT_TRUE(std::regex_match(log(), std::regex("OK em [0-9]+,[0-9] s\r\n"))) << log();
    // The log is replaced on every run, never appended to.
    EXPECT_EQ(run_update_test(dir_.path(), true), 0);
    EXPECT_TRUE(std::regex_match(log(), std::regex("OK em [0-9]+,[0-9] s\r\n"))) << log();
}

TEST_F(RunUpdateTestMode, AnAddressWithoutTlsEndsTheLogWithTheError)
{
    configure({.enabled = true, .manifest_url = "http://127.0.0.1:1/manifest.json", .files_base_url = "https://127.0.0.1:1/files"});
    EXPECT_EQ(run_update_test(dir_.path(), false), 1);
    EXPECT_EQ(log(), "ERRO: endereço de atualização inválido (precisa ser https).\r\n");
}

} // namespace
} // namespace torvane
