#include "app/manifest_generator.hpp"

#include "app/modes.hpp"
#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "support/temp_dir.hpp"
#include "update/sha256.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>

namespace torvane {
namespace {

namespace fs = std::filesystem;

// Ticks of a UTC time given as Unix seconds.
std::int64_t ticks(std::int64_t unix_seconds) { return platform::ticks_from_unix(unix_seconds, 0); }

TEST(ManifestVersionText, TwelveDigitsOfUtcTime)
{
    struct Case {
        std::int64_t system_ticks;
        const char* expected;
    };
    const Case cases[] = {
        {ticks(1796511840) + 599999999, "202612052304"}, // 2026-12-05 23:04:59.9999999
        {ticks(951782400), "200002290000"},              // a leap day
        {ticks(946684799), "199912312359"},
        {ticks(0), "197001010000"},
        {ticks(-1), "197001010000"},
        {0, "197001010000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(manifest_version_text(c.system_ticks), c.expected) << c.system_ticks;
}

TEST(ManifestRules, ExclusionsAndUserFilesFoldAsciiCaseOnly)
{
    struct Case {
        const char* path;
        bool excluded;
        bool only_if_missing;
    };
    const Case cases[] = {
        {"Data\\Launcher\\launcher.json", true, false},
        {"DATA\\CACHE\\x.bin", true, false},
        {"Screenshots\\a.jpg", true, false},
        {"crash\\a.txt", true, false},
        {"LOGS\\a.txt", true, false},
        {"log\\a.txt", true, false},
        {"log.txt", false, false},
        {"oldlogs\\a.txt", false, false},
        {"sub\\MANIFEST.JSON", true, false},
        {"deep\\sub\\Unins000.exe", true, false},
        {"OrnhaldError.log", true, false},
        {"Main.old.exe", true, false},
        {"a.PART", true, false},
        {"x.old", true, false},
        {"c.Dmp", true, false},
        {"d.logs", false, false},
        {"Data\\Macro.txt", false, true},
        {"data\\RESOLUTIONS.XML", false, true},
        {"Data\\Custom\\CONFIG.INI", false, true},
        {"data\\camerasession.ini", false, true},
        {"Data\\Local\\Macro.txt", false, false},
        {"Datá\\Macro.txt", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(excluded_from_manifest(c.path), c.excluded) << c.path;
        EXPECT_EQ(installed_only_if_missing(c.path), c.only_if_missing) << c.path;
    }
}

class ManifestGeneratorTest : public ::testing::Test {
protected:
    // The result box would open on a display; here its text goes to the standard streams.
    ManifestGeneratorTest()
    {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
    }
    fs::path game() const { return dir_.path() / "game"; }
    void write(const std::string& relative, std::string_view bytes = "x") const { dir_.write(fs::path("game") / relative, bytes); }

    // Runs the generator with the message box flag, capturing what it shows.
    int generate(const fs::path& folder, const fs::path& output, bool show)
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int code = generate_manifest(folder, output, show);
        shown_ = testing::internal::GetCapturedStdout();
        shown_error_ = testing::internal::GetCapturedStderr();
        return code;
    }

    UpdateManifest read_manifest(const fs::path& path) const
    {
        auto manifest = parse_update_manifest(platform::read_file(path, platform::document_read_limit).value_or(""));
        EXPECT_TRUE(manifest) << manifest.error();
        return manifest.value_or(UpdateManifest {});
    }

    test::TempDir dir_;
    test::TempDir outside_;
    std::string shown_;
    std::string shown_error_;
};

TEST_F(ManifestGeneratorTest, ListsTheKeptFilesInOrderWithTheirDigests)
{
    for (const char* path : {"Main.exe", "Data/Launcher/launcher.json", "Data/Macro.txt", "Logs/a.txt",
                             "sub/MANIFEST.JSON", "manifest.json", "A.log", "b.LOG", "c.Dmp", "d.part", "e.OLD",
                             "log.txt", "LOGS/x.txt", "oldlogs/y.txt", "Data/Custom/CONFIG.INI", "Data/a.txt",
                             "Data-b.txt", "Data0.txt", "B.txt", "sub/unins000.exe", "sub/other.txt",
                             "screenshots/s.jpg", "Data/Cache/c.bin", "crash/x.txt", "log/x.txt"})
        write(path, std::string("conteúdo de ") + path);
    auto target = outside_.write("target.txt", "alvo de um link");
    fs::create_symlink(target, game() / "linkfile.txt");
    // A link to a folder where the manifest leaves the folder out anyway.
    outside_.write("folder/secret.txt", "fora");
    fs::create_directory_symlink(outside_.path() / "folder", game() / "Logs" / "linkdir");

    fs::path output = dir_.path() / "out.json";
    ASSERT_EQ(generate(game(), output, false), 0) << shown_error_;
    EXPECT_EQ(shown_, "");
    EXPECT_EQ(shown_error_, "");

    struct Expected {
        const char* path;
        bool only_if_missing;
    };
    // Sorted as lower-cased text with '\' separators: '-' (45) < '0' (48) < '\' (92) < letters.
    const Expected expected[] = {
        {"B.txt", false},          {"Data-b.txt", false},   {"Data0.txt", false},     {"Data/a.txt", false},
        {"Data/Custom/CONFIG.INI", true}, {"Data/Macro.txt", true}, {"linkfile.txt", false}, {"log.txt", false},
        {"Main.exe", false},       {"oldlogs/y.txt", false}, {"sub/other.txt", false},
    };
    UpdateManifest manifest = read_manifest(output);
    ASSERT_TRUE(manifest.version);
    EXPECT_EQ(manifest.version->size(), 12u);
    EXPECT_EQ(manifest.version->find_first_not_of("0123456789"), std::string::npos);
    ASSERT_TRUE(manifest.files);
    ASSERT_EQ(manifest.files->size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const ManifestFile& file = (*manifest.files)[i];
        const Expected& e = expected[i];
        EXPECT_EQ(file.path, e.path);
        EXPECT_EQ(file.only_if_missing, e.only_if_missing) << e.path;
        fs::path full = game() / e.path;
        EXPECT_EQ(file.size, static_cast<std::int64_t>(fs::file_size(full))) << e.path;
        EXPECT_EQ(file.sha256, sha256_file(full).value()) << e.path;
    }
    // The file link was read through; its size and digest are the target's.
    EXPECT_EQ((*manifest.files)[6].size, static_cast<std::int64_t>(std::string("alvo de um link").size()));
}

TEST_F(ManifestGeneratorTest, AnEmptyFolderGivesAnEmptyListAndTheMessageSaysSo)
{
    fs::create_directories(game());
    fs::path output = game() / "manifest.json";
    ASSERT_EQ(generate(game(), output, true), 0);
    EXPECT_EQ(shown_, "0 arquivos no manifesto:\n" + output.string() + "\n");
    UpdateManifest manifest = read_manifest(output);
    EXPECT_EQ(manifest.files, std::vector<ManifestFile> {});
    // The manifest's own earlier copy is left out of the next one.
    ASSERT_EQ(generate(game(), output, true), 0);
    EXPECT_EQ(shown_, "0 arquivos no manifesto:\n" + output.string() + "\n");
}

TEST_F(ManifestGeneratorTest, TheOutputInsideTheFolderIsLeftOutWhateverItsName)
{
    write("Main.exe", "executável");
    write("sub/lista.json", "outro arquivo de mesmo nome");
    fs::create_directory_symlink(game(), dir_.path() / "alias");
    struct Case {
        const char* name;
        fs::path output;
        std::string listed_as; // the manifest path the output would have
    };
    const Case cases[] = {
        {"at the top", game() / "lista.json", "lista.json"},
        {"in a sub-folder, without a manifest's extension", game() / "Data" / "saida.txt", "Data/saida.txt"},
        {"named through a link to the folder", dir_.path() / "alias" / "gerado.json", "gerado.json"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(c.output.parent_path());
        ASSERT_EQ(generate(game(), c.output, false), 0) << shown_error_;
        UpdateManifest first = read_manifest(c.output);
        ASSERT_EQ(generate(game(), c.output, false), 0) << shown_error_;
        UpdateManifest second = read_manifest(c.output);
        ASSERT_TRUE(second.files);
        EXPECT_EQ(second.files, first.files);
        std::vector<std::string> paths;
        for (const ManifestFile& file : *second.files)
            paths.push_back(file.path.value_or(""));
        // A file elsewhere that only shares the output's name stays listed.
        EXPECT_EQ(paths, (std::vector<std::string> {"Main.exe", "sub/lista.json"})) << c.listed_as;
        fs::remove(c.output);
    }
}

TEST_F(ManifestGeneratorTest, ARelativeFolderPathIsResolved)
{
    write("Data/a.txt", "a");
    fs::path previous = fs::current_path();
    fs::current_path(dir_.path());
    int code = generate("./game/../game/", "out.json", false);
    fs::current_path(previous);
    ASSERT_EQ(code, 0);
    UpdateManifest manifest = read_manifest(dir_.path() / "out.json");
    ASSERT_TRUE(manifest.files);
    ASSERT_EQ(manifest.files->size(), 1u);
    EXPECT_EQ((*manifest.files)[0].path, "Data/a.txt");

    // A folder given through a link is resolved first: the paths are those below its target.
    fs::create_directory_symlink(game(), dir_.path() / "alias");
    ASSERT_EQ(generate(dir_.path() / "alias", dir_.path() / "through-link.json", false), 0) << shown_error_;
    EXPECT_EQ(read_manifest(dir_.path() / "through-link.json").files, manifest.files);
}

TEST_F(ManifestGeneratorTest, FailuresWriteNothingAndShowOnlyWhenAsked)
{
    write("clean/Main.exe");
    fs::create_directories(game() / "Data");
    fs::create_symlink(dir_.path() / "nowhere", game() / "Data" / "broken.txt");
    write("odd/a\\b.txt");
    write("linked/Main.exe");
    outside_.write("folder/secret.txt", "fora");
    fs::create_directory_symlink(outside_.path() / "folder", game() / "linked" / "Data");
    struct Case {
        const char* name;
        fs::path folder;
        fs::path output;
        std::string error;
    };
    const Case cases[] = {
        {"output folder missing", game() / "clean", dir_.path() / "missing" / "out.json",
         "No such file or directory (os error 2)"},
        {"folder missing", dir_.path() / "absent", dir_.path() / "out.json", "No such file or directory (os error 2)"},
        {"a link to nothing cannot be hashed", game() / "Data", dir_.path() / "out.json",
         "No such file or directory (os error 2)"},
        {"a back slash inside a name", game() / "odd", dir_.path() / "out.json",
         "nome de arquivo com barra invertida: " + (game() / "odd" / "a\\b.txt").string()},
        {"a link to a folder", game() / "linked", dir_.path() / "out.json",
         "link para pasta não pode entrar no manifesto: " + (game() / "linked" / "Data").string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool show : {false, true}) {
            EXPECT_EQ(generate(c.folder, c.output, show), 1);
            EXPECT_FALSE(fs::exists(c.output));
            EXPECT_EQ(shown_, "");
            EXPECT_EQ(shown_error_, show ? "Erro ao gerar o manifesto:\n" + c.error + "\n" : "");
        }
    }
}

} // namespace
} // namespace torvane
