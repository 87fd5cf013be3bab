// The Windows launcher's other tool modes under Wine, beside the Linux build of the same sources:
// the manifest generator writes the same document, the headless update brings a folder up to date
// from a manifest served by nginx, and the capture draws the same picture.
#include "core/update_manifest.hpp"
#include "e2e/game_folder.hpp"
#include "platform/files.hpp"
#include "render/font.hpp"
#include "render/images.hpp"
#include "support/nginx_server.hpp"
#include "support/temp_dir.hpp"
#include "support/tls_test_server.hpp"
#include "update/sha256.hpp"
#include "wine_launcher.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <regex>

namespace torvane {
namespace {

namespace fs = std::filesystem;

using test::game_files;
using test::write_game_files;

class WindowsToolModes : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(test::windows_launcher_build_error(), ""); }
    test::TempDir work_;
};

// The manifest's version is the minute it was made: the same text with the version set aside.
std::string without_version(const std::string& text, std::string& version)
{
    static const std::regex field("\"Version\": *\"([0-9]{12})\"");
    std::smatch match;
    if (!std::regex_search(text, match, field))
        return text;
    version = match[1];
    return match.prefix().str() + "\"Version\": \"\"" + match.suffix().str();
}

// Minutes since 1970 of a "yyyymmddhhmm" version.
std::int64_t minute_of(const std::string& version)
{
    std::tm time {};
    time.tm_year = std::stoi(version.substr(0, 4)) - 1900;
    time.tm_mon = std::stoi(version.substr(4, 2)) - 1;
    time.tm_mday = std::stoi(version.substr(6, 2));
    time.tm_hour = std::stoi(version.substr(8, 2));
    time.tm_min = std::stoi(version.substr(10, 2));
    return static_cast<std::int64_t>(::timegm(&time)) / 60;
}

TEST_F(WindowsToolModes, TheGeneratedManifestIsTheLinuxBuildsDocument)
{
    const fs::path folder = work_.path() / "files";
    write_game_files(work_, "files");
    // Wine lists a folder of the Linux file system as it is, names differing only by case included.
    work_.write("files/data/b.txt", "beside Data on Linux");
    test::WineLauncher launcher(work_.path() / "windows");

    ASSERT_EQ(launcher.run({"--gerar-manifesto", test::windows_path(folder), test::windows_path(work_.path() / "windows.json")}), 0)
        << launcher.output();
    test::ProgramRun linux_run = test::run_program(
        {TORVANE_E2E_LAUNCHER, "--gerar-manifesto", folder.string(), (work_.path() / "linux.json").string()},
        work_.path() / "linux.out");
    ASSERT_EQ(linux_run.exit_code, 0) << linux_run.output;

    std::string windows_version;
    std::string linux_version;
    const std::string windows_text = without_version(work_.read("windows.json"), windows_version);
    const std::string linux_text = without_version(work_.read("linux.json"), linux_version);
    EXPECT_EQ(windows_text, linux_text);
    ASSERT_EQ(windows_version.size(), 12u) << work_.read("windows.json");
    ASSERT_EQ(linux_version.size(), 12u) << work_.read("linux.json");
    // Made a moment apart: the same minute or the next.
    const std::int64_t minutes_apart = minute_of(linux_version) - minute_of(windows_version);
    EXPECT_TRUE(minutes_apart == 0 || minutes_apart == 1) << windows_version << " " << linux_version;
    auto manifest = parse_update_manifest(work_.read("windows.json"));
    ASSERT_TRUE(manifest) << manifest.error();
    ASSERT_TRUE(manifest->files);
    EXPECT_EQ(manifest->files->size(), game_files().size() + 1);
}

TEST_F(WindowsToolModes, AFolderWithTheExtendedPrefixGivesTheSameDocument)
{
    const fs::path folder = work_.path() / "files";
    write_game_files(work_, "files");
    test::WineLauncher launcher(work_.path() / "windows");
    ASSERT_EQ(launcher.run({"--gerar-manifesto", test::windows_path(folder), test::windows_path(work_.path() / "plain.json")}), 0)
        << launcher.output();
    ASSERT_EQ(launcher.run({"--gerar-manifesto", "\\\\?\\" + test::windows_path(folder),
                            test::windows_path(work_.path() / "prefixed.json")}),
              0)
        << launcher.output();
    std::string plain_version;
    std::string prefixed_version;
    const std::string plain = without_version(work_.read("plain.json"), plain_version);
    EXPECT_EQ(without_version(work_.read("prefixed.json"), prefixed_version), plain);
    EXPECT_NE(plain.find("\"Path\": \"Data/Local/Por/Text_Por.bmd\""), std::string::npos) << plain;
}

// Win32 sees a Unix symbolic link to a folder only as a reparse point of tag 0 (0x410): the
// Windows build must not enter it any more than the Linux build does.
TEST_F(WindowsToolModes, AFolderLinkInsideIsNeverEnteredOnEitherBuild)
{
    const fs::path folder = work_.path() / "files";
    write_game_files(work_, "files");
    work_.write("outside/segredo.txt", "fora da pasta");
    fs::create_directory_symlink(work_.path() / "outside", folder / "Data" / "linked");
    test::WineLauncher launcher(work_.path() / "windows");

    EXPECT_EQ(launcher.run({"--gerar-manifesto", test::windows_path(folder), test::windows_path(work_.path() / "windows.json")}), 1)
        << launcher.output();
    test::ProgramRun linux_run = test::run_program(
        {TORVANE_E2E_LAUNCHER, "--gerar-manifesto", folder.string(), (work_.path() / "linux.json").string()},
        work_.path() / "linux.out");
    EXPECT_EQ(linux_run.exit_code, 1) << linux_run.output;
    EXPECT_FALSE(fs::exists(work_.path() / "windows.json"));
    EXPECT_FALSE(fs::exists(work_.path() / "linux.json"));
    EXPECT_EQ(work_.read("outside/segredo.txt"), "fora da pasta");
}

TEST_F(WindowsToolModes, TheHeadlessUpdateBringsAFolderUpToDate)
{
    write_game_files(work_, "www/files");
    const fs::path published = work_.path() / "www" / "files";
    test::ProgramRun generated = test::run_program(
        {TORVANE_E2E_LAUNCHER, "--gerar-manifesto", published.string(), (work_.path() / "www" / "manifest.json").string()},
        work_.path() / "generator.out");
    ASSERT_EQ(generated.exit_code, 0) << generated.output;
    auto manifest = parse_update_manifest(work_.read("www/manifest.json"));
    ASSERT_TRUE(manifest && manifest->files);

    auto serve = [&](const test::TestCertificates& certificates, int port) { return test::serve_www(work_, certificates, port); };
    auto nginx = serve(test::windows_server_certificates(), 0);
    ASSERT_TRUE(nginx);
    // Wine's chain engine matches host names, not addresses, against a certificate's names.
    const std::string origin = "https://localhost:" + std::to_string(nginx->port());

    const fs::path client = work_.path() / "client";
    test::WineLauncher launcher(client);
    work_.write("client/Data/Launcher/launcher.json",
                R"({"ServerName":"Teste","Update":{"Enabled":true,"ManifestUrl":")" + origin
                    + R"(/manifest.json","FilesBaseUrl":")" + origin + R"(/files/"}})");
    work_.write("client/Data/Macro.txt", "the player's own macro");
    work_.write("client/Data-b.txt", "an old version");
    const fs::path log_path = client / "Data" / "Launcher" / "atualizacao_teste.log";
    auto log = [&] { return test::crlf_lines(platform::read_file(log_path, platform::document_read_limit).value_or("")); };
    const std::regex ok_line("OK em [0-9]+,[0-9] s");

    ASSERT_EQ(launcher.run({"--testar-atualizacao"}), 0) << launcher.output() << work_.read("client/Data/Launcher/atualizacao_teste.log");
    for (const auto& [path, bytes] : game_files()) {
        if (path == "Data/Macro.txt")
            EXPECT_EQ(work_.read("client/" + path), "the player's own macro");
        else
            EXPECT_EQ(sha256_file(client / path), sha256_file(published / path)) << path;
    }
    EXPECT_FALSE(fs::exists(client / "Logs"));
    // Every file of the manifest but the player's macro, which is installed only where missing.
    std::vector<std::string> expected = {"Buscando atualizações...", "Verificando arquivos..."};
    for (const ManifestFile& file : *manifest->files)
        if (*file.path != "Data/Macro.txt")
            expected.push_back("Baixando atualização... " + *file.path);
    expected.push_back("Atualização concluída.");
    std::vector<std::string> lines = log();
    ASSERT_EQ(lines.size(), expected.size() + 1);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 1), expected);
    EXPECT_TRUE(std::regex_match(lines.back(), ok_line)) << lines.back();

    // Again: nothing to do.
    ASSERT_EQ(launcher.run({"--testar-atualizacao"}), 0) << launcher.output();
    lines = log();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string> {"Buscando atualizações...", "Verificando arquivos...", "Cliente atualizado."}));

    // The same server with a certificate from a CA the launcher does not trust: the log ends with the error.
    const int port = nginx->port();
    nginx->stop();
    nginx = serve(test::make_test_certificates(), port);
    ASSERT_TRUE(nginx);
    EXPECT_EQ(launcher.run({"--testar-atualizacao"}), 1) << launcher.output();
    lines = log();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("ERRO: " + origin + "/manifest.json?t=")) << lines.back();
    EXPECT_NE(lines.back().find(": Connection Failed"), std::string::npos) << lines.back();
}

Pixmap read_png(const fs::path& path)
{
    std::string bytes = platform::read_file(path, 64 << 20).value_or("");
    std::optional<Pixmap> image = decode_png(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return image ? std::move(*image) : Pixmap::create_or_die(1, 1);
}

TEST_F(WindowsToolModes, TheCaptureIsTheLinuxBuildsPicture)
{
    // The Linux build draws the file line with an Arial-compatible system face when it finds one,
    // the Windows build with C:\Windows\Fonts\arial.ttf: give Wine the same face, else neither has one.
    if (load_fallback_font(fallback_font_paths())) {
        for (const fs::path& font : fallback_font_paths())
            if (fs::exists(font)) {
                const fs::path wine_fonts = fs::path(std::getenv("WINEPREFIX")) / "drive_c" / "windows" / "Fonts";
                fs::create_directories(wine_fonts);
                fs::copy_file(font, wine_fonts / "arial.ttf", fs::copy_options::skip_existing);
                break;
            }
    }
    const fs::path data = work_.write("dados.json", R"({
  "Abertura": "2020-01-01T00:00:00-03:00",
  "News": [{"Tag": "Atualização", "Color": "#8b5cf6", "Text": "Nova temporada começa amanhã", "Date": "hoje"}],
  "Info": [{"Label": "Versão", "Value": "Season 6 | Ação"}]
})");
    test::WineLauncher launcher(work_.path() / "windows");
    fs::create_directories(work_.path() / "linux");
    fs::copy_file(TORVANE_E2E_LAUNCHER, work_.path() / "linux" / "torvane");

    struct Case {
        const char* name;
        std::vector<std::string> options;
    };
    const Case cases[] = {
        {"main screen", {}},
        {"settings at 1.25", {"--escala", "1.25", "cfg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path windows_image = work_.path() / "windows.png";
        const fs::path linux_image = work_.path() / "linux.png";
        std::vector<std::string> windows_arguments {"--captura", test::windows_path(windows_image)};
        std::vector<std::string> linux_arguments {(work_.path() / "linux" / "torvane").string(), "--captura", linux_image.string()};
        for (const std::string& option : c.options) {
            windows_arguments.push_back(option);
            linux_arguments.push_back(option);
        }
        windows_arguments.insert(windows_arguments.end(), {"--dados", test::windows_path(data)});
        linux_arguments.insert(linux_arguments.end(), {"--dados", data.string()});
        ASSERT_EQ(launcher.run(windows_arguments), 0) << launcher.output();
        test::ProgramRun linux_run = test::run_program(linux_arguments, work_.path() / "linux.out");
        ASSERT_EQ(linux_run.exit_code, 0) << linux_run.output;

        const Pixmap windows_picture = read_png(windows_image);
        const Pixmap linux_picture = read_png(linux_image);
        ASSERT_GT(linux_picture.width(), 1u);
        ASSERT_EQ(windows_picture.width(), linux_picture.width());
        ASSERT_EQ(windows_picture.height(), linux_picture.height());
        // The sparks start at random places, so two pictures of one build differ in a few
        // thousand pixels by a little; a moved, missing or recoloured element differs in many.
        // The capture tests' tolerance: under 0.4 % of the pixels with a channel off by more
        // than 48, and a mean largest channel difference under 1.
        std::uint64_t far_off = 0;
        std::uint64_t total = 0;
        for (std::uint32_t y = 0; y < linux_picture.height(); ++y)
            for (std::uint32_t x = 0; x < linux_picture.width(); ++x) {
                const std::uint32_t p = windows_picture.at(x, y);
                const std::uint32_t q = linux_picture.at(x, y);
                int largest = 0;
                for (int shift = 0; shift < 32; shift += 8)
                    largest = std::max(largest, std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)));
                far_off += largest > 48;
                total += static_cast<std::uint64_t>(largest);
            }
        const double count = static_cast<double>(linux_picture.width()) * linux_picture.height();
        EXPECT_LT(static_cast<double>(far_off) / count, 0.004) << far_off << " pixels far off";
        EXPECT_LT(static_cast<double>(total) / count, 1.0);
    }
}

} // namespace
} // namespace torvane
