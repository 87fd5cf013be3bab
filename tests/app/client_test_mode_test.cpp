#include "app/client_test_mode.hpp"

#include "release_keys.hpp"
#include "release_service.hpp"
#include "support/sample_client.hpp"
#include "update/install_folders.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The log's lines with the elapsed seconds (the first six characters) replaced by "T".
std::vector<std::string> timeless(const std::vector<std::string>& lines)
{
    std::vector<std::string> result;
    for (const std::string& line : lines) {
        EXPECT_GE(line.size(), 6u);
        std::string seconds = line.substr(0, 6);
        EXPECT_EQ(seconds.find_first_not_of(" 0123456789."), std::string::npos) << line;
        EXPECT_EQ(seconds[4], '.') << line;
        result.push_back("T" + line.substr(6));
    }
    return result;
}

TEST(ClientTestProgressLogger, OneLinePerPhaseAndTenth)
{
    ClientTestProgressLogger logger(std::chrono::steady_clock::now());
    const ProgressReport reports[] = {
        {0, 0, 0, "Buscando atualizações...", ""},
        {0, 0, 0, "Buscando atualizações...", ""},                      // the same report: dropped
        {0, 0.19, 0, "Verificando arquivos...", "1 de 5 arquivos"},
        {0, 0.21, 0, "Verificando arquivos...", "2 de 5 arquivos"},      // next tenth
        {0, 0.25, 0, "Verificando arquivos...", "3 de 5 arquivos"},      // same tenth: dropped
        {0.5, 0.5, 1572864, "Baixando atualização: 1 MB de 2 MB", "0 de 1 arquivos"},
        {0.55, 0.55, 1572864, "Baixando atualização: 2 MB de 2 MB", "0 de 1 arquivos"}, // sizes change, key not
        {0, NAN, 0, "Baixando atualização: ?", ""},                       // NaN is tenth 0
        {1, 1, 0, "Cliente pronto para jogar.", ""},
    };
    for (const ProgressReport& report : reports)
        logger.call(ui_message::Progress {report});
    logger.call(ui_message::ServerStatus {true}); // not a report: ignored

    const std::vector<std::string> expected = {
        "T s  Buscando atualizações...  0%  ",
        "T s  Verificando arquivos...  19%  ",
        "T s  Verificando arquivos...  21%  ",
        "T s  Baixando atualização: 1 MB de 2 MB  50%  1,5 MB/s",
        "T s  Baixando atualização: ?  NaN%  ",
        "T s  Cliente pronto para jogar.  100%  ",
    };
    EXPECT_EQ(timeless(logger.take_lines()), expected);
}

TEST(JoinLogLines, EveryLineEndsWithCarriageReturnAndLineFeed)
{
    EXPECT_EQ(join_log_lines({"a", "b"}), "a\r\nb\r\n");
    EXPECT_EQ(join_log_lines({}), "");
}

// The log as lines, checking the line ends on the way.
std::vector<std::string> read_log(const fs::path& base_dir)
{
    std::ifstream in(client_test_log_path(base_dir), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(text.ends_with("\r\n"));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size());
    return lines;
}

class ClientTestModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_UNLESS_BUILT_WITH_DEV_KEY();
        ASSERT_TRUE(service_.running());
        test::write_sample_client(client_.path());
        auto published = service_.publish(client_.path());
        ASSERT_TRUE(published) << published.error();
        release_id_ = published->release_id;
    }

    test::ReleaseService service_;
    test::TempDir client_;
    test::TempDir game_;
    std::string release_id_;
};

TEST_F(ClientTestModeTest, InstallWritesTheLogAndSucceeds)
{
    struct Case {
        bool test_flag;
        std::vector<std::string> head;
    };
    const std::string folder = game_.path().string();
    const Case cases[] = {
        {true, {"pasta: " + folder, "canal criptografado: true", "geração atual: " + folder}},
        {false,
         {"pasta: " + folder, "canal criptografado: true", "launcher trocado: false",
          "geração atual: " + (game_.path() / "Versions" / release_id_).string()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test_flag);
        EXPECT_EQ(run_client_test(game_.path(), c.test_flag, service_.update_service()), 0);
        std::vector<std::string> lines = read_log(game_.path());
        ASSERT_GE(lines.size(), c.head.size() + 3);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + c.head.size()), c.head);
        std::string done = lines[lines.size() - 2];
        EXPECT_TRUE(done.starts_with("OK em ")) << done;
        EXPECT_TRUE(done.ends_with(" s, jogo em " + (game_.path() / "Versions" / release_id_).string())) << done;
        EXPECT_EQ(lines.back(), "assinatura do Main: OK");
        EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                               [](const std::string& l) { return l.find("  Cliente pronto para jogar.  100%") != l.npos; }),
                  lines.end());
    }
}

TEST_F(ClientTestModeTest, FailureEndsTheLogWithTheError)
{
    service_.stop();
    UpdateService update_service = service_.update_service();
    update_service.pause = [](std::chrono::milliseconds) {};
    EXPECT_EQ(run_client_test(game_.path(), true, update_service), 1);
    std::vector<std::string> lines = read_log(game_.path());
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("ERRO: ")) << lines.back();
    EXPECT_NE(lines.back().find("Connection Failed"), std::string::npos) << lines.back();
}

} // namespace
} // namespace torvane
