// The Windows launcher's client download mode under Wine, against nginx on loopback: the install
// of a published release, the reuse of unchanged files by the next one, and the refusal of a
// service whose certificate names another host, comes from a CA it does not trust or has expired.
#include "platform/files.hpp"
#include "release_keys.hpp"
#include "release_service.hpp"
#include "support/sample_client.hpp"
#include "update/asset_workers.hpp"
#include "update/digest.hpp"
#include "update/install_folders.hpp"
#include "update/release_list.hpp"
#include "update/self_update.hpp"
#include "wine_launcher.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>

namespace torvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> client_log(const fs::path& game_folder)
{
    return test::crlf_lines(
        platform::read_file(game_folder / "Data" / "Launcher" / "cliente_teste.log", platform::document_read_limit).value_or(""));
}

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity& other) const { return device == other.device && inode == other.inode; }
};
Identity identity(const fs::path& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    return {info.st_dev, info.st_ino};
}

class WindowsClientDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::windows_launcher_build_error(), "");
        SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    }

    // Starts nginx on the launcher's port with the certificate (by default one from the CA that the
    // launcher trusts), offering the TLS versions given (nginx's own when empty).
    void serve(test::TestCertificates certificates = test::windows_server_certificates(), std::string tls_protocols = "")
    {
        service_ = std::make_unique<test::ReleaseService>(
            test::NginxOptions {.port = test::windows_launcher_build().port, .tls_protocols = std::move(tls_protocols)},
            std::move(certificates));
        ASSERT_TRUE(service_->running()) << "nginx did not start on port " << test::windows_launcher_build().port;
    }

    publisher::PublishedRelease publish(const fs::path& client)
    {
        auto published = service_->publish(client);
        EXPECT_TRUE(published) << published.error();
        return published.value_or(publisher::PublishedRelease {});
    }

    // Every entry of the list present in the release folder with its size and digest, and no
    // download temporary left.
    static void expect_installed(const fs::path& folder, const ReleaseList& list)
    {
        for (const ReleaseEntry& entry : list.entries)
            EXPECT_TRUE(file_matches_entry(folder / entry.path, entry)) << entry.path;
        std::error_code error;
        for (const auto& item : fs::recursive_directory_iterator(folder, error))
            EXPECT_FALSE(is_download_temporary_name(item.path().filename().string())) << item.path();
    }

    std::unique_ptr<test::ReleaseService> service_;
    test::TempDir client_;
    test::TempDir game_;
};

TEST_F(WindowsClientDownload, InstallsAReleaseAndTheNextReusesUnchangedFilesByHardLinks)
{
    // TLS 1.2 only: what a Windows 10 without TLS 1.3 negotiates.
    serve(test::windows_server_certificates(), "TLSv1.2");
    test::write_sample_client(client_.path(), {.asset_blobs = 3});
    auto first = publish(client_.path());
    // A player's folder name is rarely plain ASCII.
    const fs::path game = game_.path() / "Jogos Ação";
    test::WineLauncher launcher(game);

    ASSERT_EQ(launcher.run({"--baixar-cliente", "--teste"}), 0) << launcher.output();
    const fs::path first_folder = game / "Versions" / first.release_id;
    auto lines = client_log(game);
    ASSERT_GE(lines.size(), 6u) << launcher.output();
    EXPECT_EQ(lines[0], "pasta: " + test::windows_path(game));
    EXPECT_EQ(lines[1], "canal criptografado: true");
    EXPECT_EQ(lines[2], "geração atual: " + test::windows_path(game));
    EXPECT_TRUE(lines[3].ends_with(" s  Buscando atualizações...  0%  ")) << lines[3];
    EXPECT_TRUE(lines[lines.size() - 2].starts_with("OK em ")) << lines[lines.size() - 2];
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(" s, jogo em " + test::windows_path(first_folder)))
        << lines[lines.size() - 2];
    EXPECT_EQ(lines.back(), "assinatura do Main: OK");
    EXPECT_EQ(platform::read_file(game / "active-release", 100).value_or(""), first.release_id);
    expect_installed(first_folder, first.list);
    const std::vector<std::string> first_requests = service_->requests_under("/client/releases/" + first.release_id + "/");
    ASSERT_FALSE(first_requests.empty());
    for (const std::string& line : first_requests)
        EXPECT_TRUE(line.ends_with(" TLSv1.2")) << line;

    // The next release changes Main.exe and one asset blob and adds one; the rest is unchanged.
    test::write_sample_client(client_.path(), {.asset_blobs = 3, .main_exe = "MZ sample client 2"});
    std::string changed_blob = test::write_asset_blob(client_.path(), "asset blob of the second release");
    auto second = publish(client_.path());
    ASSERT_NE(second.release_id, first.release_id);
    // The old release is removed once the new one is active: note which file each name is now.
    std::map<std::string, Identity> first_files;
    for (const ReleaseEntry& entry : first.list.entries)
        first_files[entry.path] = identity(first_folder / entry.path);

    ASSERT_EQ(launcher.run({"--baixar-cliente", "--teste"}), 0) << launcher.output();
    const fs::path second_folder = game / "Versions" / second.release_id;
    lines = client_log(game);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], "geração atual: " + test::windows_path(first_folder));
    EXPECT_EQ(lines.back(), "assinatura do Main: OK");
    EXPECT_EQ(platform::read_file(game / "active-release", 100).value_or(""), second.release_id);
    expect_installed(second_folder, second.list);

    EXPECT_FALSE(fs::exists(first_folder));

    // Seen from Linux, Wine's hard links are links of the file system: a file the player does not
    // own that the new release carries unchanged is the old release's file, not downloaded again;
    // a changed or new file is downloaded into a file of its own; the player's files are copies.
    // (Every file of the new release was made while the old release's files still existed, so no
    // new file can have taken the number of an old one.)
    std::map<std::string, std::string> first_digests;
    for (const ReleaseEntry& entry : first.list.entries)
        first_digests[entry.path] = entry.sha256;
    const std::vector<std::string> requested = service_->requests_under("/client/releases/" + second.release_id + "/");
    auto fetched = [&](const std::string& path) {
        for (const std::string& line : requested)
            if (line.find("/" + path + " ") != std::string::npos || line.find("/" + path + "?") != std::string::npos)
                return true;
        return false;
    };
    std::size_t linked = 0;
    std::size_t downloaded = 0;
    for (const ReleaseEntry& entry : second.list.entries) {
        SCOPED_TRACE(entry.path);
        const Identity now = identity(second_folder / entry.path);
        auto before = first_digests.find(entry.path);
        const bool unchanged = before != first_digests.end() && before->second == entry.sha256;
        if (is_user_file(entry.path)) {
            ASSERT_NE(first_files[entry.path], Identity {});
            EXPECT_NE(now, first_files[entry.path]);
            EXPECT_FALSE(fetched(entry.path));
        } else if (unchanged) {
            ASSERT_NE(first_files[entry.path], Identity {});
            EXPECT_EQ(now, first_files[entry.path]);
            EXPECT_FALSE(fetched(entry.path));
            ++linked;
        } else {
            EXPECT_NE(now, Identity {});
            EXPECT_TRUE(fetched(entry.path));
            ++downloaded;
        }
    }
    // At least the three old asset blobs are linked; Main.exe and the new blob are downloaded.
    EXPECT_GE(linked, 3u);
    EXPECT_GE(downloaded, 2u);
    EXPECT_TRUE(fetched("Main.exe"));
    EXPECT_TRUE(fetched(changed_blob));
}

TEST_F(WindowsClientDownload, ARefusedCertificateInstallsNothing)
{
    // The texts are those the TLS library gives for its own checks; Windows' chain engine decides.
    struct Case {
        const char* name;
        test::TestCertificates certificates;
        const char* reason; // the end of the log's error, after the kind's text
    };
    const Case cases[] = {
        {"a certificate of the trusted CA for another host",
         test::windows_server_certificates("DNS:outro.invalid,IP:127.0.0.1"),
         ": Connection Failed: SSL: no alternative certificate subject name matches target host name 'localhost'"},
        {"a certificate for localhost from a CA the launcher does not trust", test::make_test_certificates(),
         ": Connection Failed: SSL certificate problem: unable to get local issuer certificate"},
        {"an expired certificate of the trusted CA",
         test::windows_server_certificates(test::loopback_certificate_names, test::CertificateValidity::Expired),
         ": Connection Failed: SSL certificate problem: certificate has expired"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        serve(c.certificates);
        test::write_sample_client(client_.path());
        publish(client_.path());
        test::TempDir game;
        test::WineLauncher launcher(game.path());

        EXPECT_EQ(launcher.run({"--baixar-cliente", "--teste"}), 1) << launcher.output();
        auto lines = client_log(game.path());
        ASSERT_FALSE(lines.empty()) << launcher.output();
        const std::string refused = "ERRO: " + test::windows_service_origin() + "/client/current.pmx";
        EXPECT_TRUE(lines.back().starts_with(refused)) << lines.back();
        EXPECT_TRUE(lines.back().ends_with(c.reason)) << lines.back();
        EXPECT_FALSE(fs::exists(game.path() / "active-release"));
        EXPECT_FALSE(fs::exists(game.path() / "Versions"));
        EXPECT_TRUE(service_->requests_under("/client/").empty());
        service_.reset();
    }
}

TEST_F(WindowsClientDownload, ReplacesItselfWithThePublishedWindowsLauncher)
{
    serve();
    test::write_sample_client(client_.path());
    publish(client_.path());
    test::WineLauncher launcher(game_.path());
    // Without its debug sections, so that it fits the largest launcher the service may publish.
    ASSERT_EQ(test::run_program({"x86_64-w64-mingw32-strip", "--strip-debug", launcher.path().string()},
                                game_.path() / "strip.out").exit_code, 0);
    // The "new" launcher: the same program with a trailing mark, which a PE file ignores. The
    // service publishes a Linux launcher beside it, under its own name and entry.
    const std::string old_bytes = platform::read_file(launcher.path(), launcher_max_size).value();
    const std::string new_bytes = old_bytes + "\nnew build\n";
    const std::string linux_bytes = "\x7f" "ELF the Linux launcher";
    const fs::path files = service_->root() / "files";
    platform::create_folders(files).value();
    platform::write_file(files / "Torvane.exe", new_bytes).value();
    platform::write_file(files / "torvane-linux-x86_64", linux_bytes).value();
    platform::write_file(service_->root() / "launcher.json",
                         R"({"Launcher":{"Sha256":")" + hex_lower(sha256_bytes(new_bytes)) + R"(","Size":)" +
                             std::to_string(new_bytes.size()) + R"(},"LauncherLinux":{"Sha256":")" +
                             hex_lower(sha256_bytes(linux_bytes)) + R"(","Size":)" + std::to_string(linux_bytes.size()) + "}}")
        .value();

    ASSERT_EQ(launcher.run({"--baixar-cliente"}), 0) << launcher.output();
    auto lines = client_log(game_.path());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "launcher trocado: true");
    EXPECT_EQ(lines.back(), "assinatura do Main: OK");
    EXPECT_TRUE(platform::read_file(launcher.path(), launcher_max_size).value_or("") == new_bytes);
    EXPECT_TRUE(platform::read_file(launcher.path().string() + ".old", launcher_max_size).value_or("") == old_bytes);
    EXPECT_FALSE(fs::exists(launcher.path().string() + ".part"));
    EXPECT_EQ(service_->requests_under("/files/torvane-linux-x86_64").size(), 0u);
    EXPECT_EQ(service_->requests_under("/files/Torvane.exe?h=").size(), 1u);

    // The new launcher runs, finds itself up to date and leaves the files alone.
    ASSERT_EQ(launcher.run({"--baixar-cliente"}), 0) << launcher.output();
    lines = client_log(game_.path());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "launcher trocado: false");
    EXPECT_EQ(service_->requests_under("/files/Torvane.exe?h=").size(), 1u);
}

} // namespace
} // namespace torvane
