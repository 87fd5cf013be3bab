#include "support/folder_links.hpp"
#include "support/temp_dir.hpp"
#include "update/path_safety.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr char outside[] = "o arquivo está fora da pasta do Torvane.";
constexpr char redirected[] = "a pasta do Torvane não aceita redirecionamentos locais.";

TEST(PathKey, FoldsSeparatorsCaseAndTrailingSeparators)
{
    if (!test::posix_file_system())
        GTEST_SKIP() << "Linux's file-system rules and error texts";
    struct Case {
        std::string path;
        std::string key;
    };
    const Case cases[] = {
        {"/Jogos/Torvane/Data/", "\\jogos\\torvane\\data"},
        {"\\jogos\\torvane\\data", "\\jogos\\torvane\\data"},
        {"C:/Jogos//Torvane", "c:\\jogos\\\\torvane"}, // nothing but the separator itself is changed
        {"Versions/./x/../Y", "versions\\.\\x\\..\\y"},
        {"/", ""},
        {"ÁRVORE/Ação/ΣΟΦΙΑ", "árvore\\ação\\σοφια"},
        {"ΟΔΟΣ", "οδος"}, // final sigma
        {"İstanbul", "i\xcc\x87stanbul"}, // dotted capital I lower-cases to two code points
        {"bad\xff\xfe", "bad\xef\xbf\xbd\xef\xbf\xbd"}, // each invalid byte becomes U+FFFD
        {"cut\xe2\x82", "cut\xef\xbf\xbd"}, // a truncated sequence is one U+FFFD
    };
    for (const Case& c : cases)
        EXPECT_EQ(path_key(c.path), c.key) << c.path;
    EXPECT_EQ(path_key("/Game/Data/Local/"), path_key("\\game\\data\\local"));
}

TEST(PushRelativePath, JoinsSegmentsAndSkipsEmptyOnes)
{
    EXPECT_EQ(push_relative_path("/g", "Data/Custom/config.ini"), fs::path("/g/Data/Custom/config.ini"));
    EXPECT_EQ(push_relative_path("/g", "/Data//Macro.txt/"), fs::path("/g/Data/Macro.txt"));
    EXPECT_EQ(push_relative_path("/g", ""), fs::path("/g"));
    EXPECT_EQ(push_relative_path("rel", "Main.exe"), fs::path("rel/Main.exe"));
}

class InsideBase : public testing::Test {
protected:
    void SetUp() override
    {
        base = dir.path() / "Torvane";
        fs::create_directories(base / "Data" / "Local");
        fs::create_directories(dir.path() / "TorvaneX");
        fs::create_directories(dir.path() / "elsewhere");
    }
    Status check(const fs::path& path) { return ensure_inside_base(base, path); }
    std::string result(const fs::path& path)
    {
        Status status = check(path);
        return status ? std::string("ok") : status.error();
    }
    test::TempDir dir;
    fs::path base;
};

TEST_F(InsideBase, InsideAndOutside)
{
    if (!test::posix_file_system())
        GTEST_SKIP() << "Linux's file-system rules and error texts";
    struct Case {
        fs::path path;
        std::string result;
    };
    const Case cases[] = {
        {base, "ok"},
        {base.string() + "/", "ok"},
        {base / "Data", "ok"},
        {base / "Data" / "Local" / "novo.txt", "ok"}, // does not exist yet
        {base / "Versions" / "abc" / "Main.exe", "ok"},
        {dir.path() / "TorvaneX" / "Main.exe", outside}, // the base's name is only a prefix
        {dir.path() / "TorvaneX", outside},
        {dir.path(), outside},
        {dir.path() / "elsewhere" / "Main.exe", outside},
        {base / ".." / "elsewhere" / "Main.exe", outside},
        {base / "Data" / ".." / ".." / "elsewhere", outside},
        {"relative/Main.exe", outside},
        // On this file system a folder whose name differs only in case is another folder.
        {dir.path() / "torvane" / "Main.exe", outside},
    };
    for (const Case& c : cases)
        EXPECT_EQ(result(c.path), c.result) << c.path;
}

// Also under Wine, with a Unix symbolic link, which Win32 sees only as a folder reparse point of
// tag 0 (0x410): it counts like any link.
TEST_F(InsideBase, LinkedDataFolderRedirectsEverythingBelowIt)
{
    fs::rename(base / "Data", dir.path() / "elsewhere" / "Data");
    ASSERT_TRUE(test::make_folder_link(dir.path() / "elsewhere" / "Data", base / "Data"));
    for (const fs::path& path : {base / "Data", base / "Data" / "Local", base / "Data" / "Local" / "config.ini",
                                 base / "Data" / "Nova" / "Pasta" / "arquivo.txt"})
        EXPECT_EQ(result(path), redirected) << path;
    EXPECT_EQ(result(base / "Main.exe"), "ok");
}

TEST_F(InsideBase, LinkAsTheLastComponentOrPointingInside)
{
    if (!test::posix_file_system())
        GTEST_SKIP() << "Linux's file-system rules and error texts";
    fs::create_symlink(dir.path() / "elsewhere" / "target", base / "Main.exe");
    EXPECT_EQ(result(base / "Main.exe"), redirected);
    // Even a link that stays inside the base is refused.
    fs::create_directory_symlink(base / "Data", base / "Atalho");
    EXPECT_EQ(result(base / "Atalho" / "x"), redirected);
    // A dangling link is a link too.
    fs::create_symlink(dir.path() / "nothing", base / "Data" / "Local" / "pendente");
    EXPECT_EQ(result(base / "Data" / "Local" / "pendente"), redirected);
}

TEST_F(InsideBase, BaseItselfIsNotTestedForBeingALink)
{
    if (!test::posix_file_system())
        GTEST_SKIP() << "Linux's file-system rules and error texts";
    fs::create_directory_symlink(base, dir.path() / "link-to-base");
    EXPECT_TRUE(ensure_inside_base(dir.path() / "link-to-base", dir.path() / "link-to-base" / "Data" / "x"));
}

TEST_F(InsideBase, RelativeBaseAndPath)
{
    struct CurrentFolder {
        explicit CurrentFolder(const fs::path& to) : saved(fs::current_path()) { fs::current_path(to); }
        ~CurrentFolder() { fs::current_path(saved); }
        fs::path saved;
    } in(dir.path());
    EXPECT_TRUE(ensure_inside_base("Torvane", "Torvane/Data/x"));
    EXPECT_EQ(ensure_inside_base("Torvane", "TorvaneX/x").error(), outside);
}

TEST(WindowsRedirectedName, DeviceNamesAndNamesEndingInADotOrABlank)
{
    struct Case {
        std::string component;
        bool redirected;
    };
    const Case cases[] = {
        {"CON", true},         {"con", true},          {"Nul", true},           {"PRN", true},
        {"AUX", true},         {"nul.txt", true},      {"NUL.tar.gz", true},    {"AUX .txt", true},
        {"COM1", true},        {"com9.log", true},     {"COM1.log", true},      {"LPT1", true},
        {"lpt9", true},        {"COM0", true},         {"LPT0.x", true},        {"COM\u00B9", true},
        {"lpt\u00B3.txt", true}, {"Main.exe.", true}, {"Main.exe ", true},     {"Data.", true},
        {".", true},           {"pasta ", true},
        {"COM10", false},      {"COM", false},         {"LPT", false},          {"COM1a", false},
        {"CONFIG.INI", false}, {"console.txt", false}, {"nul_x.txt", false},    {"xnul", false},
        {"AUXILIAR.txt", false}, {"COM\u00B4", false}, {"Main.exe", false},    {".hidden", false},
        {"a b.txt", false},    {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_windows_redirected_name(c.component), c.redirected) << '"' << c.component << '"';
}

} // namespace
} // namespace torvane
