#include "game/option_lists.hpp"
#include "platform/files.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace torvane {
namespace {

namespace fs = std::filesystem;

std::string resolutions(std::string_view body) { return "<?xml version=\"1.0\"?>\n<Resolutions>\n" + std::string(body) + "</Resolutions>\n"; }

TEST(ResolutionChoices, ReadsTheGamesListOrFallsBack)
{
    using List = std::vector<OptionChoice>;
    struct Case {
        const char* label;
        std::optional<std::string> xml; // nothing: no file
        List expected;                  // empty: the built-in list
    };
    const Case cases[] = {
        {"sorted by index, equal indices in file order",
         resolutions("<Resolution index=\"5\" name=\"a\"/>\n<Resolution index=\"2\" name=\"b\"/>\n"
                     "<Resolution index=\"5\" name=\"c\"/>\n"),
         {{"2", "b"}, {"5", "a"}, {"5", "c"}}},
        {"name defaults to the index", resolutions("<Resolution index=\"3\"/>"), {{"3", "3"}}},
        {"blanks and a plus sign around the index", resolutions("<Resolution index=\" +7 \" name=\"x\"/>"), {{"7", "x"}}},
        {"index followed by a letter drops the element",
         resolutions("<Resolution index=\"7a\" name=\"x\"/><Resolution index=\"1\" name=\"y\"/>"), {{"1", "y"}}},
        {"hyphenated attribute is not the index",
         resolutions("<Resolution data-index=\"9\" index=\"4\" name=\"x\"/>"), {{"4", "x"}}},
        {"unquoted index drops the element",
         resolutions("<Resolution index=4 name=\"x\"/><Resolution index='6' name='y'/>"), {{"6", "y"}}},
        {"escaped ampersand", resolutions("<Resolution index=\"1\" name=\"R&amp;D\"/>"), {{"1", "R&D"}}},
        {"escapes undone in order", resolutions("<Resolution index=\"1\" name=\"&amp;lt;&lt;&quot;&apos;&gt;\"/>"),
         {{"1", "&lt;<\"'>"}}},
        {"blanks around the equals sign", resolutions("<Resolution\tindex = \"8\"\nname=\"x\"></Resolution>"),
         {{"8", "x"}}},
        {"other elements starting alike are skipped",
         resolutions("<ResolutionList index=\"9\"/><Resolution index=\"2\"/>"), {{"2", "2"}}},
        {"overflowing index drops the element",
         resolutions("<Resolution index=\"2147483648\"/><Resolution index=\"-2147483648\"/>"),
         {{"-2147483648", "-2147483648"}}},
        {"invalid UTF-8 in a name is replaced", resolutions("<Resolution index=\"0\" name=\"a\xff\"/>"),
         {{"0", "a\xEF\xBF\xBD"}}},
        {"last tag without its closing bracket", "<Resolution index=\"3\" name=\"end\"", {{"3", "end"}}},
        {"only invalid entries", resolutions("<Resolution name=\"x\"/><Resolution index=\"\"/>"), {}},
        {"empty file", "", {}},
        {"no file", std::nullopt, {}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        if (c.xml)
            dir.write("Data/Resolutions.xml", *c.xml);
        List choices = resolution_choices(dir.path());
        if (c.expected.empty()) {
            ASSERT_EQ(choices.size(), 20u) << c.label;
            EXPECT_EQ(choices.front(), (OptionChoice{"0", "800x600"})) << c.label;
            EXPECT_EQ(choices[13], (OptionChoice{"13", "1910x970"})) << c.label;
            EXPECT_EQ(choices.back(), (OptionChoice{"19", "3840x2160"})) << c.label;
        } else {
            EXPECT_EQ(choices, c.expected) << c.label;
        }
    }
}

// A Resolutions.xml that is endless, blocks or is oversized is unreadable: the built-in list, at
// once.
TEST(ResolutionChoices, AFileThatIsNoPlainFileOrTooLargeGivesTheBuiltInList)
{
    test::TempDir dir;
    for (test::FileShape shape : test::all_file_shapes) {
        SCOPED_TRACE(test::file_shape_name(shape));
        test::PlantedFile planted(dir.path() / "Data/Resolutions.xml", shape, "<Resolution index=\"3\" name=\"x\"/>",
                                  platform::document_read_limit, '\n');
        EXPECT_EQ(resolution_choices(dir.path()).size(), shape == test::FileShape::Regular ? 1u : 20u);
    }
}

TEST(FindXmlAttribute, MatchesOnlyWholeQuotedAttributes)
{
    struct Case {
        std::string_view tag;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"index=\"1\"", "1"},
        {" index='2'", "2"},
        {" xindex=\"1\" index=\"2\"", "2"},
        {" index2=\"1\" index=\"3\"", "3"},
        {" index=4 index=\"5\"", "5"},    // an unquoted value does not end the search
        {" index=\"6", std::nullopt},      // an unterminated quote does
        {" index=", std::nullopt},
        {" index", std::nullopt},
        {" name=\"index\"", std::nullopt}, // the word inside a value is followed by a quote, not "="
        {"\u00A0index=\"7\"", "7"},        // any Unicode white space separates
        {" index=\"\"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(find_xml_attribute(c.tag, "index"), c.value) << c.tag;
}

struct Folder {
    std::string name;
    bool text_bmd = true;
};

TEST(LanguageChoices, OffersTheGamesLanguageFolders)
{
    using List = std::vector<OptionChoice>;
    const List portuguese_only = {{"Por", "Português"}};
    struct Case {
        const char* label;
        std::optional<std::vector<Folder>> folders; // nothing: no Data/Local
        bool managed;
        List expected;
    };
    const Case cases[] = {
        {"Portuguese first, then byte order",
         std::vector<Folder>{{"Spn"}, {"eng"}, {"POR"}, {"Fra"}},
         false,
         {{"POR", "Português"}, {"Spn", "Español"}, {"eng", "English"}}},
        {"folder without Text.bmd left out", std::vector<Folder>{{"eng", false}}, false, portuguese_only},
        {"only Text.bmd decides", std::vector<Folder>{{"eng", false}, {"Spn"}}, false, {{"Spn", "Español"}}},
        {"names of another length left out", std::vector<Folder>{{"Engl"}, {"Po"}}, false, portuguese_only},
        {"empty folder", std::vector<Folder>{}, false, portuguese_only},
        {"no Data/Local", std::nullopt, false, portuguese_only},
        {"managed mode is fixed",
         std::vector<Folder>{{"spn"}},
         true,
         {{"Por", "Português"}, {"Eng", "English"}, {"Spn", "Español"}}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        if (c.folders) {
            fs::create_directories(dir.path() / "Data" / "Local");
            for (const auto& f : *c.folders) {
                fs::create_directories(dir.path() / "Data" / "Local" / f.name);
                if (f.text_bmd)
                    dir.write("Data/Local/" + f.name + "/Text.bmd", "bmd");
            }
        }
        EXPECT_EQ(language_choices(dir.path(), c.managed), c.expected) << c.label;
    }
}

TEST(LanguageChoices, CountsOnlyRealFolders)
{
    test::TempDir dir;
    fs::path local = dir.path() / "Data" / "Local";
    dir.write("Data/Local/Eng", "a file, not a folder");
    dir.write("elsewhere/Spn/Text.bmd", "bmd");
    fs::create_symlink(dir.path() / "elsewhere" / "Spn", local / "Spn");
    fs::create_directories(local / "por" / "Text.bmd"); // any kind of entry counts as the text file
    EXPECT_EQ(language_choices(dir.path(), false), (std::vector<OptionChoice>{{"por", "Português"}}));

    fs::directory_iterator listing(local);
    std::vector<std::string> names;
    while (auto name = next_subfolder_name(listing))
        names.push_back(*name);
    EXPECT_EQ(names, std::vector<std::string>{"por"});
}

} // namespace
} // namespace torvane
