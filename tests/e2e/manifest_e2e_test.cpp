// The operator's generator and the headless update, both as the launcher program: a folder
// published with its generated manifest over TLS on loopback brings an empty folder to the same
// content.
#include "core/update_manifest.hpp"
#include "digest.hpp"
#include "game_folder.hpp"
#include "platform/files.hpp"
#include "support/linux/program_run.hpp"
#include "support/nginx_server.hpp"
#include "support/plain_http_server.hpp"
#include "support/temp_dir.hpp"
#include "support/tls_test_server.hpp"
#include "test_launcher.hpp"
#include "update/sha256.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

namespace torvane {
namespace {

namespace fs = std::filesystem;

using test::ProgramRun;
using test::run_program;

TEST(ManifestEndToEnd, GeneratedManifestBringsAnEmptyFolderToTheSameContent)
{
    test::TempDir work;
    const fs::path published = work.path() / "www" / "files";
    const auto& files = test::game_files();
    test::write_game_files(work, "www/files");

    // The launcher built to trust the build's test CA.
    const fs::path program = TORVANE_E2E_LAUNCHER;
    const fs::path manifest_path = work.path() / "www" / "manifest.json";
    ProgramRun generated = run_program({program.string(), "--gerar-manifesto", published.string(), manifest_path.string()},
                                       work.path() / "generator.out");
    ASSERT_EQ(generated.exit_code, 0) << generated.output;
    EXPECT_EQ(generated.output, ""); // an output path was given: no message
    auto manifest = parse_update_manifest(platform::read_file(manifest_path, platform::document_read_limit).value_or(""));
    ASSERT_TRUE(manifest) << manifest.error();
    ASSERT_TRUE(manifest->files);
    ASSERT_EQ(manifest->files->size(), files.size());

    auto serve = [&](const test::TestCertificates& certificates, int port) { return test::serve_www(work, certificates, port); };
    auto nginx = serve(test::e2e_server_certificates(), 0);
    ASSERT_TRUE(nginx);

    // The client folder: the launcher program and its configuration pointing at the server.
    const fs::path client = work.path() / "client";
    fs::create_directories(client);
    fs::copy_file(program, client / "torvane");
    work.write("client/Data/Launcher/launcher.json",
               R"({"ServerName":"Teste","Update":{"Enabled":true,"ManifestUrl":")" + nginx->origin()
                   + R"(/manifest.json","FilesBaseUrl":")" + nginx->origin() + R"(/files/"}})");
    auto update = [&] {
        return run_program({(client / "torvane").string(), "--testar-atualizacao"}, work.path() / "update.out");
    };
    const fs::path log_path = client / "Data" / "Launcher" / "atualizacao_teste.log";
    const std::regex ok_line("OK em [0-9]+,[0-9] s");

    ProgramRun first = update();
    std::string first_log = platform::read_file(log_path, platform::document_read_limit).value_or("");
    ASSERT_EQ(first.exit_code, 0) << first.output << first_log;
    for (const auto& [path, bytes] : files)
        EXPECT_EQ(sha256_file(client / path), sha256_file(published / path)) << path;
    EXPECT_FALSE(fs::exists(client / "Logs"));
    std::vector<std::string> lines = test::crlf_lines(first_log);
    std::vector<std::string> expected = {"Buscando atualizações...", "Verificando arquivos..."};
    for (const ManifestFile& file : *manifest->files)
        expected.push_back("Baixando atualização... " + *file.path);
    expected.push_back("Atualização concluída.");
    ASSERT_EQ(lines.size(), expected.size() + 1) << first_log;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 1), expected);
    EXPECT_TRUE(std::regex_match(lines.back(), ok_line)) << lines.back();

    // Run again: everything is up to date and the log says so.
    ProgramRun second = update();
    std::string second_log = platform::read_file(log_path, platform::document_read_limit).value_or("");
    ASSERT_EQ(second.exit_code, 0) << second.output << second_log;
    lines = test::crlf_lines(second_log);
    ASSERT_EQ(lines.size(), 4u) << second_log;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string> {"Buscando atualizações...", "Verificando arquivos...", "Cliente atualizado."}));
    EXPECT_TRUE(std::regex_match(lines.back(), ok_line)) << lines.back();

    // The same server with a certificate from a CA the launcher does not trust: the log ends with the error.
    const int port = nginx->port();
    nginx->stop();
    nginx = serve(test::make_test_certificates(), port);
    ASSERT_TRUE(nginx);
    ProgramRun untrusted = run_program({(client / "torvane").string(), "--testar-atualizacao"}, work.path() / "untrusted.out");
    EXPECT_EQ(untrusted.exit_code, 1);
    lines = test::crlf_lines(platform::read_file(log_path, platform::document_read_limit).value_or(""));
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("ERRO: " + nginx->origin() + "/manifest.json?t=")) << lines.back();
}

TEST(ManifestEndToEnd, ARedirectToPlainHttpReplacesNothing)
{
    test::TempDir work;
    const std::string script = "#!/bin/sh\necho trocado\n";
    // The plain server would hand out a manifest that replaces the launcher with a script.
    test::PlainHttpServer plain;
    UpdateManifest replacing {.version = "202612110000",
                              .files = std::vector<ManifestFile> {{.path = "torvane",
                                                                   .size = static_cast<std::int64_t>(script.size()),
                                                                   .sha256 = test::sha256_hex(script)}}};
    const std::string replacing_text = format_update_manifest(replacing);
    plain.routes().Get("/manifest.json", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(replacing_text, "application/json");
    });
    plain.routes().Get("/files/torvane", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(script, "application/octet-stream");
    });
    plain.start();

    // The https service redirects either the manifest or the file to the plain one.
    test::TlsTestServer tls(test::e2e_server_certificates());
    auto to_plain = [&](const httplib::Request& req, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", plain.url(req.target)); // the same path and query
    };
    tls.routes().Get("/redirected/manifest.json", to_plain);
    tls.routes().Get("/direct/manifest.json", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(replacing_text, "application/json");
    });
    tls.routes().Get("/files/torvane", to_plain);
    tls.start();

    struct Case {
        const char* name;
        std::string manifest_path;
        std::string refused; // the plain address the log names, without the time query
    };
    const Case cases[] = {
        {"the manifest redirected", "/redirected/manifest.json", plain.url("/redirected/manifest.json") + "?t="},
        {"the file redirected", "/direct/manifest.json", plain.url("/files/torvane") + "?h="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path client = work.path() / "client";
        fs::remove_all(client);
        fs::create_directories(client);
        test::copy_test_launcher(client / "torvane");
        auto before = sha256_file(client / "torvane");
        ASSERT_TRUE(before);
        work.write("client/Data/Launcher/launcher.json",
                   R"({"ServerName":"Teste","Update":{"Enabled":true,"ManifestUrl":")" + tls.url(c.manifest_path)
                       + R"(","FilesBaseUrl":")" + tls.url("/files/") + R"("}})");
        ProgramRun run = run_program({(client / "torvane").string(), "--testar-atualizacao"}, work.path() / "update.out");
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_EQ(sha256_file(client / "torvane"), before);
        EXPECT_FALSE(fs::exists(client / "torvane.old"));
        std::vector<std::string> lines =
            test::crlf_lines(platform::read_file(client / "Data" / "Launcher" / "atualizacao_teste.log", platform::document_read_limit).value_or(""));
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(lines.back().starts_with("ERRO: " + c.refused)) << lines.back();
        EXPECT_TRUE(lines.back().ends_with(": Insecure request attempted with https_only set")) << lines.back();
    }
    EXPECT_EQ(plain.requests(), 0);
}

// A hard link or a symbolic link planted at a name the update test writes, leading to a file outside
// the launcher's folder: the outside file stays as it was, and the run ends as it would without it.
TEST(ManifestEndToEnd, LinksPlantedAtTheRunsNamesAreNeverWrittenThrough)
{
    test::TempDir work;
    const std::string content = "conteúdo novo";
    UpdateManifest manifest {.version = "202612110000",
                             .files = std::vector<ManifestFile> {{.path = "a.txt",
                                                                  .size = static_cast<std::int64_t>(content.size()),
                                                                  .sha256 = test::sha256_hex(content)}}};
    const std::string manifest_text = format_update_manifest(manifest);
    test::TlsTestServer tls(test::e2e_server_certificates());
    tls.routes().Get("/manifest.json", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(manifest_text, "application/json");
    });
    tls.routes().Get("/files/a.txt", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(content, "application/octet-stream");
    });
    tls.start();

    enum class Link { Hard, Symbolic };
    const char* const names[] = {"Data/Launcher/atualizacao_teste.log", "a.txt.part"};
    int n = 0;
    for (const char* name : names) {
        for (Link link : {Link::Hard, Link::Symbolic}) {
            SCOPED_TRACE(std::string(name) + (link == Link::Hard ? " (hard link)" : " (symbolic link)"));
            const fs::path client = work.path() / ("client" + std::to_string(n++));
            fs::create_directories(client);
            test::copy_test_launcher(client / "torvane");
            work.write(client.filename() / "Data/Launcher/launcher.json",
                       R"({"ServerName":"Teste","Update":{"Enabled":true,"ManifestUrl":")" + tls.url("/manifest.json")
                           + R"(","FilesBaseUrl":")" + tls.url("/files/") + R"("}})");
            const fs::path outside = work.write(client.filename().string() + "-outside", "kept\n");
            const fs::path planted = client / name;
            fs::create_directories(planted.parent_path());
            if (link == Link::Hard)
                fs::create_hard_link(outside, planted);
            else
                fs::create_symlink(outside, planted);

            ProgramRun run = run_program({(client / "torvane").string(), "--testar-atualizacao"}, work.path() / "update.out");
            const fs::path log = client / "Data" / "Launcher" / "atualizacao_teste.log";
            const std::string log_text = platform::read_file(log, platform::document_read_limit).value_or("");
            EXPECT_EQ(run.exit_code, 0) << run.output << log_text;
            EXPECT_EQ(platform::read_file(outside, platform::document_read_limit).value_or(""), "kept\n");
            EXPECT_EQ(fs::hard_link_count(outside), 1u);
            EXPECT_FALSE(fs::is_symlink(planted));
            EXPECT_EQ(platform::read_file(client / "a.txt", platform::document_read_limit).value_or(""), content);
            EXPECT_FALSE(fs::exists(client / "a.txt.part"));
            std::vector<std::string> lines = test::crlf_lines(log_text);
            ASSERT_FALSE(lines.empty());
            EXPECT_TRUE(std::regex_match(lines.back(), std::regex("OK em [0-9]+,[0-9] s"))) << lines.back();
        }
    }
}

} // namespace
} // namespace torvane
