#include "core/update_manifest.hpp"

#include "read_case.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

ManifestFile sized(std::int64_t size) { return {.path = "a", .size = size}; }

UpdateManifest one_file(ManifestFile file) { return {.files = std::vector<ManifestFile> {std::move(file)}}; }

std::string size_document(const char* size) { return std::string(R"({"Files":[{"Path":"a","Size":)") + size + "}]}"; }

struct Case {
    const char* name;
    std::string input;
    UpdateManifest expected = {};
    std::string error = {};
};

// `{"Files":[{"Path":"a","Size":` is 29 bytes.
const Case cases[] = {
    {"empty object", "{}"},
    {"empty array", "[]"},
    {"object entry",
     R"({"Version":"202612052304","Files":[{"Path":"Data/Macro.txt","Size":0,"Sha256":"e3b0","OnlyIfMissing":true}]})",
     {.version = "202612052304",
      .files = std::vector<ManifestFile> {{.path = "Data/Macro.txt", .size = 0, .sha256 = "e3b0", .only_if_missing = true}}}},
    {"entry as a short array", R"({"Files":[["Data/a.txt",5]]})", one_file({.path = "Data/a.txt", .size = 5})},
    {"document as an array", R"([null,[]])", {.files = std::vector<ManifestFile> {}}},
    {"extra key skipped", R"({"Files":[{"Path":"a","Mode":"0644","Size":3}]})", one_file(sized(3))},
    {"back slash kept as written", R"({"Files":[{"Path":"Data\\a.txt"}]})", one_file({.path = "Data\\a.txt"})},
    {"size -1", size_document("-1"), one_file(sized(-1))},
    {"largest size", size_document("9223372036854775807"), one_file(sized(9223372036854775807))},
    {"smallest size", size_document("-9223372036854775808"), one_file(sized(std::numeric_limits<std::int64_t>::min()))},

    {"size with a fraction", size_document("12.0"), {}, "invalid type: floating point `12.0`, expected i64 at line 1 column 33"},
    {"size with an exponent", size_document("1e3"), {}, "invalid type: floating point `1000.0`, expected i64 at line 1 column 32"},
    {"size past the signed maximum", size_document("9223372036854775808"), {},
     "invalid value: integer `9223372036854775808`, expected i64 at line 1 column 48"},
    {"size past 64 bits", size_document("18446744073709551616"), {},
     "invalid type: floating point `1.8446744073709552e19`, expected i64 at line 1 column 49"},
    {"size below the signed minimum", size_document("-9223372036854775809"), {},
     "invalid type: floating point `-9.223372036854776e18`, expected i64 at line 1 column 49"},
    {"size minus zero", size_document("-0"), {}, "invalid type: floating point `-0.0`, expected i64 at line 1 column 31"},
    {"size as text", size_document(R"("5")"), {}, "invalid type: string \"5\", expected i64 at line 1 column 32"},
    {"size null", size_document("null"), {}, "invalid type: null, expected i64 at line 1 column 33"},
    {"size cut", size_document("-"), {}, "invalid number at line 1 column 31"},
    {"flag as number", R"({"Files":[{"OnlyIfMissing":1}]})", {},
     "invalid type: integer `1`, expected a boolean at line 1 column 28"},
    {"repeated path", R"({"Files":[{"Path":"a","Path":"b"}]})", {}, "duplicate field `Path` at line 1 column 28"},
    {"entry array too long", R"({"Files":[["a",1,"h",true,5]]})", {}, "trailing characters at line 1 column 27"},
    {"full entry array followed by other characters", R"({"Files":[["a",1,"h",true x]]})", {},
     "trailing characters at line 1 column 27"},
    {"entry as number", R"({"Files":[1]})", {}, "invalid type: integer `1`, expected struct ManifestFile at line 1 column 11"},
    {"document as number", "5", {}, "invalid type: integer `5`, expected struct UpdateManifest at line 1 column 1"},
    {"byte-order mark not skipped", "\xEF\xBB\xBF{}", {}, "expected value at line 1 column 1"},
};

TEST(ParseUpdateManifest, ReadsManifestsAndReportsFaults)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::expect_read(parse_update_manifest(c.input), c.expected, c.error);
    }
}

TEST(FormatUpdateManifest, MatchesThePrettyFormByteForByte)
{
    UpdateManifest manifest {
        .version = "202612052304",
        .files = std::vector<ManifestFile> {{
            .path = "Data/Macro.txt",
            .size = 0,
            .sha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
            .only_if_missing = true,
        }},
    };
    std::string text = format_update_manifest(manifest);
    EXPECT_EQ(text, R"({
  "Version": "202612052304",
  "Files": [
    {
      "Path": "Data/Macro.txt",
      "Size": 0,
      "Sha256": "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
      "OnlyIfMissing": true
    }
  ]
})");
    EXPECT_EQ(parse_update_manifest(text), manifest);
}

TEST(FormatUpdateManifest, WritesAbsentValuesAsNullAndNegativeSizes)
{
    UpdateManifest manifest {.files = std::vector<ManifestFile> {{.size = -12}}};
    std::string text = format_update_manifest(manifest);
    EXPECT_EQ(text, "{\n  \"Version\": null,\n  \"Files\": [\n    {\n      \"Path\": null,\n      \"Size\": -12,\n"
                    "      \"Sha256\": null,\n      \"OnlyIfMissing\": false\n    }\n  ]\n}");
    EXPECT_EQ(parse_update_manifest(text), manifest);
    EXPECT_EQ(format_update_manifest({}), "{\n  \"Version\": null,\n  \"Files\": null\n}");
}

} // namespace
} // namespace torvane
