#include "core/config_json.hpp"

#include "read_case.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

std::string nested_arrays(int depth) { return std::string(std::size_t(depth), '[') + std::string(std::size_t(depth), ']'); }

struct ReadCase {
    const char* name;
    std::string input;
    // Either the document read or the error text.
    LauncherConfig expected = {};
    std::string error = {};
};

LauncherConfig with_server_name(const char* name)
{
    LauncherConfig config;
    config.server_name = name;
    return config;
}

const ReadCase read_cases[] = {
    {"empty object", "{}"},
    {"empty array", "[]"},
    {"white space around", " \t\r\n{ } \n"},
    {"array of one string", R"(["Torvane"])", with_server_name("Torvane")},
    {"array form in field order", R"(["S", "G", true, "V", [], null, [false, "x"]])",
     {.server_name = "S", .game_exe = "G", .close_after_start = true, .background_video = "V",
      .links = std::vector<LauncherLink> {}, .update = UpdateConfig {.enabled = false, .manifest_url = "x"}}},
    {"keys in any order", R"({"Abertura": "2026-12-05T20:00:00-03:00", "ServerName": "a"})",
     {.server_name = "a", .abertura = "2026-12-05T20:00:00-03:00"}},
    {"miscased key is skipped", R"({"servername": "x"})"},
    {"unknown keys of every kind are skipped",
     R"({"X": {"a": [1, -2.5e3, {"b": null}], "c": "\u00e9\n"}, "Y": [true, false], "ServerName": "s", "Z": 0})",
     with_server_name("s")},
    {"null text and list are absent", R"({"ServerName": null, "Links": null, "Update": null})"},
    {"news item as a short array", R"({"News": [["NOVIDADE", "#D9A845"]]})",
     {.news = std::vector<LauncherNews> {{.tag = "NOVIDADE", .color = "#D9A845"}}}},
    {"empty news list is present", R"({"News": []})", {.news = std::vector<LauncherNews> {}}},
    {"escapes decoded", R"({"ServerName": "a\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00"})",
     with_server_name("a\"\\/\b\f\n\r\t\u00e9\U0001F600")},
    {"non-ASCII copied", "{\"ServerName\": \"Versão\"}", with_server_name("Versão")},
    {"byte-order mark skipped", "\xEF\xBB\xBF{\"ServerName\": \"a\"}", with_server_name("a")},
    {"invalid UTF-8 in a skipped text", "{\"X\": \"\xFF\"}"},
    {"127 levels inside a skipped value", "{\"X\": " + nested_arrays(127) + "}"},
    {"large numbers in skipped values", R"({"X": [1e999, 123456789012345678901234567890, -0]})"},

    {"empty input", "", {}, "EOF while parsing a value at line 1 column 0"},
    {"only white space", "  \n ", {}, "EOF while parsing a value at line 2 column 1"},
    {"second byte-order mark", "\xEF\xBB\xBF\xEF\xBB\xBF{}", {}, "expected value at line 1 column 1"},
    {"trailing characters", "{} x", {}, "trailing characters at line 1 column 4"},
    {"two documents", "{}{}", {}, "trailing characters at line 1 column 3"},
    {"array longer than the record", R"(["a","b",false,"c",null,null,null,null,"d","e"])", {},
     "trailing characters at line 1 column 44"},
    {"full array followed by other characters", R"(["a","b",false,"d",null,null,null,null,"i" x])", {},
     "trailing characters at line 1 column 44"},
    {"short array followed by other characters", R"(["a" x])", {}, "expected `,` or `]` at line 1 column 6"},
    {"full nested array followed by other characters", R"({"Links":[["a","b" 1]]})", {},
     "trailing characters at line 1 column 20"},
    {"duplicate key", R"({"ServerName":"a","ServerName":"b"})", {}, "duplicate field `ServerName` at line 1 column 30"},
    {"duplicate key on its own line", "{\n  \"ServerName\": \"a\",\n  \"ServerName\": \"b\"\n}", {},
     "duplicate field `ServerName` at line 3 column 14"},
    {"duplicate key after a null", R"({"Links":null,"Links":[]})", {}, "duplicate field `Links` at line 1 column 21"},
    {"duplicate key in a nested record", R"({"Links":[{"Url":"a","Url":"b"}]})", {},
     "duplicate field `Url` at line 1 column 26"},
    {"null flag", R"({"CloseAfterStart":null})", {}, "invalid type: null, expected a boolean at line 1 column 23"},
    {"flag as text", R"({"Update":{"Enabled":"yes"}})", {},
     "invalid type: string \"yes\", expected a boolean at line 1 column 26"},
    {"flag as number", R"({"CloseAfterStart":1})", {}, "invalid type: integer `1`, expected a boolean at line 1 column 20"},
    {"text as number", "{\n\"ServerName\": 1\n}", {}, "invalid type: integer `1`, expected a string at line 2 column 15"},
    {"text as float", R"({"ServerName":1.5e3})", {},
     "invalid type: floating point `1500.0`, expected a string at line 1 column 19"},
    {"text as minus zero", R"({"ServerName":-0})", {},
     "invalid type: floating point `-0.0`, expected a string at line 1 column 16"},
    {"text as negative integer", R"({"ServerName":-7})", {}, "invalid type: integer `-7`, expected a string at line 1 column 16"},
    {"text as array", R"({"ServerName":["a"]})", {}, "invalid type: sequence, expected a string at line 1 column 14"},
    {"document as text", R"("x")", {}, "invalid type: string \"x\", expected struct LauncherConfig at line 1 column 3"},
    {"document as null", "null", {}, "invalid type: null, expected struct LauncherConfig at line 1 column 4"},
    {"list as object", R"({"Links":{}})", {}, "invalid type: map, expected a sequence at line 1 column 9"},
    {"link as number", R"({"Links":[5]})", {}, "invalid type: integer `5`, expected struct LauncherLink at line 1 column 11"},
    {"news as boolean", R"({"News":[false]})", {},
     "invalid type: boolean `false`, expected struct LauncherNews at line 1 column 14"},
    {"info as text", R"({"Info":["a"]})", {}, "invalid type: string \"a\", expected struct LauncherInfo at line 1 column 12"},
    {"update as boolean", R"({"Update":true})", {},
     "invalid type: boolean `true`, expected struct UpdateConfig at line 1 column 14"},
    {"quoted text in a message", R"({"CloseAfterStart":"a\"b\u00a0é"})", {},
     "invalid type: string \"a\\\"b\\u{a0}é\", expected a boolean at line 1 column 33"},
    {"128 levels of nesting", "{\"X\": " + nested_arrays(128) + "}", {}, "recursion limit exceeded at line 1 column 134"},
    {"trailing comma in a list", R"({"Links":[{},]})", {}, "trailing comma at line 1 column 14"},
    {"trailing comma in an object", R"({"ServerName":"a",})", {}, "trailing comma at line 1 column 19"},
    {"trailing comma in a skipped value", R"({"X":[1,]})", {}, "expected value at line 1 column 9"},
    {"missing colon", R"({"ServerName" "a"})", {}, "expected `:` at line 1 column 15"},
    {"missing comma", R"({"ServerName":"a" "b"})", {}, "expected `,` or `}` at line 1 column 19"},
    {"missing comma in a list", R"({"Links":[{} {}]})", {}, "expected `,` or `]` at line 1 column 14"},
    {"key not a string", "{1:2}", {}, "key must be a string at line 1 column 2"},
    {"cut in an object", R"({"ServerName":"a")", {}, "EOF while parsing an object at line 1 column 17"},
    {"cut in a list", R"({"Links":[{})", {}, "EOF while parsing a list at line 1 column 12"},
    {"cut in a text", R"({"ServerName":"ab)", {}, "EOF while parsing a string at line 1 column 17"},
    {"bad literal", R"({"CloseAfterStart":tru})", {}, "expected ident at line 1 column 23"},
    {"bad value", R"({"ServerName":})", {}, "expected value at line 1 column 15"},
    {"invalid UTF-8", "{\"ServerName\":\"\xFF\"}", {}, "invalid unicode code point at line 1 column 17"},
    {"raw line feed in a text", "{\"ServerName\":\"a\nb\"}", {},
     "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
    {"unknown escape", R"({"ServerName":"\q"})", {}, "invalid escape at line 1 column 17"},
    {"bad hex escape", R"({"ServerName":"\u00g0"})", {}, "invalid escape at line 1 column 21"},
    {"lone trailing surrogate", R"({"ServerName":"\udc00"})", {}, "lone leading surrogate in hex escape at line 1 column 21"},
    {"leading surrogate alone", R"({"ServerName":"\ud800"})", {}, "unexpected end of hex escape at line 1 column 22"},
    {"number out of range", R"({"ServerName":1e999})", {}, "number out of range at line 1 column 19"},
    {"leading zero", R"({"ServerName":01})", {}, "invalid number at line 1 column 16"},
};

TEST(ParseLauncherConfig, ReadsDocumentsAndReportsFaults)
{
    for (const ReadCase& c : read_cases) {
        SCOPED_TRACE(c.name);
        test::expect_read(parse_launcher_config(c.input), c.expected, c.error);
    }
}

TEST(ParseLauncherConfig, TextReadingHasTheSameRulesButKeepsTheByteOrderMark)
{
    for (const ReadCase& c : read_cases) {
        if (c.input.starts_with("\xEF\xBB\xBF"))
            continue;
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parse_launcher_config_text(c.input), parse_launcher_config(c.input));
    }
    auto marked = parse_launcher_config_text("\xEF\xBB\xBF{}");
    ASSERT_FALSE(marked);
    EXPECT_EQ(marked.error(), "expected value at line 1 column 1");
}

TEST(FormatLauncherConfig, MatchesThePrettyFormByteForByte)
{
    LauncherConfig config;
    config.server_name = "Torvane";
    config.links = std::vector<LauncherLink> {{.text = "Site"}};
    EXPECT_EQ(format_launcher_config(config), R"({
  "ServerName": "Torvane",
  "GameExe": null,
  "CloseAfterStart": false,
  "BackgroundVideo": null,
  "Links": [
    {
      "Text": "Site",
      "Url": null
    }
  ],
  "News": null,
  "Update": null,
  "Info": null
})");
}

TEST(FormatLauncherConfig, WritesEveryFieldAndReadsBackEqual)
{
    LauncherConfig config {
        .server_name = "Servidor \"1\" \\ é",
        .game_exe = "",
        .close_after_start = true,
        .background_video = std::string("a\b\t\n\f\r\x01\x1f\x7f/\0", 11),
        .links = std::vector<LauncherLink> {},
        .news = std::vector<LauncherNews> {{.tag = "T", .date = "hoje"}},
        .update = UpdateConfig {.enabled = true, .manifest_url = "https://h/m.json"},
        .info = std::vector<LauncherInfo> {{.label = "L", .value = "V"}, {}},
        .abertura = "2026-12-05T20:00:00-03:00",
    };
    std::string text = format_launcher_config(config);
    EXPECT_EQ(text, R"({
  "ServerName": "Servidor \"1\" \\ é",
  "GameExe": "",
  "CloseAfterStart": true,
  "BackgroundVideo": "a\b\t\n\f\r\u0001\u001f)" "\x7f" R"(/\u0000",
  "Links": [],
  "News": [
    {
      "Tag": "T",
      "Color": null,
      "Text": null,
      "Url": null,
      "Date": "hoje"
    }
  ],
  "Update": {
    "Enabled": true,
    "ManifestUrl": "https://h/m.json",
    "FilesBaseUrl": null
  },
  "Info": [
    {
      "Label": "L",
      "Value": "V"
    },
    {
      "Label": null,
      "Value": null
    }
  ],
  "Abertura": "2026-12-05T20:00:00-03:00"
})");
    EXPECT_EQ(parse_launcher_config(text), config);
}

TEST(FormatLauncherConfig, EmptyDocumentHasEightEntriesAndNoOpeningTime)
{
    std::string text = format_launcher_config(*parse_launcher_config("{}"));
    EXPECT_EQ(text, "{\n  \"ServerName\": null,\n  \"GameExe\": null,\n  \"CloseAfterStart\": false,\n"
                    "  \"BackgroundVideo\": null,\n  \"Links\": null,\n  \"News\": null,\n  \"Update\": null,\n"
                    "  \"Info\": null\n}");
    EXPECT_EQ(parse_launcher_config(text), LauncherConfig {});
}

} // namespace
} // namespace torvane
