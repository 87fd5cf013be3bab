#include "platform/files.hpp"
#include "platform/registry.hpp"
#include "support/registry_store.hpp"
#include "support/system_error_texts.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

constexpr char game_key[] = "SOFTWARE\\Quenby\\Ornhald2\\Config";
constexpr char test_key[] = "SOFTWARE\\Torvane\\Tests\\Registry";

class RegistryStore : public test::RegistryStoreTest {
protected:
    RegistryKey open_key() const { return RegistryStoreTest::open_key(game_key); }
};

TEST_F(RegistryStore, ValuesKeepTheirTypeAndBytesAcrossKeys)
{
    struct Case {
        std::string name;
        RegistryType type;
        std::string bytes;
    };
    const Case cases[] = {
        {"WindowMode", RegistryType::Dword, std::string("\x01\0\0\0", 4)},
        {"Negative", RegistryType::Dword, "\xfd\xff\xff\xff"},
        {"LangSelection", RegistryType::String, std::string("E\0n\0g\0\0\0", 8)},
        {"Path", RegistryType::ExpandString, std::string("%\0\0\0", 4)},
        {"Blob", RegistryType::Binary, std::string("\0\n\r %\xff", 6)},
        {"Big", RegistryType::Qword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {"Odd type", static_cast<RegistryType>(0x1234), "x"},
        {"Empty", RegistryType::Binary, ""},
        {"", RegistryType::String, std::string("d\0\0\0", 4)}, // the key's default value
        {"nome com %20 e acentuação", RegistryType::Dword, std::string("\0\0\0\0", 4)},
    };
    {
        RegistryKey key = open_key();
        for (const auto& c : cases)
            ASSERT_TRUE(key.set(c.name, c.type, c.bytes)) << c.name;
        // Rewriting one value keeps the others and does not add a second entry.
        ASSERT_TRUE(key.set("windowmode", RegistryType::Dword, std::string("\x02\0\0\0", 4)));
    }
    RegistryKey key = open_key();
    for (const auto& c : cases) {
        auto data = key.query(c.name);
        ASSERT_TRUE(data) << c.name << ": " << data.error();
        EXPECT_EQ(data->type, c.type) << c.name;
        if (c.name != "WindowMode") {
            EXPECT_EQ(data->bytes, c.bytes) << c.name;
        }
    }
    EXPECT_EQ(key.query("WindowMode")->bytes, std::string("\x02\0\0\0", 4));
}

TEST_F(RegistryStore, StringsAreUtf16WithTheirTerminator)
{
    RegistryKey key = open_key();
    ASSERT_TRUE(key.set_string("LangSelection", "Por"));
    auto data = key.query("LangSelection");
    EXPECT_EQ(data->type, RegistryType::String);
    EXPECT_EQ(data->bytes, std::string("P\0o\0r\0\0\0", 8));

    ASSERT_TRUE(key.set_string("Text", "ç\xF0\x9F\x98\x80"));
    EXPECT_EQ(key.query("Text")->bytes, std::string("\xe7\x00\x3d\xd8\x00\xde\x00\x00", 8));
}

TEST(RegistryStrings, DecodeAsTheSystemStoresThem)
{
    struct Case {
        const char* label;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"terminated", std::string("E\0n\0g\0\0\0", 8), "Eng"},
        {"unterminated", std::string("E\0n\0g\0", 6), "Eng"},
        {"stops at the first NUL", std::string("a\0\0\0b\0", 6), "a"},
        {"odd trailing byte ignored", std::string("a\0b", 3), "a"},
        {"surrogate pair", std::string("\x3d\xd8\x00\xde", 4), "\xF0\x9F\x98\x80"},
        {"lone high surrogate", std::string("\x3d\xd8x\0", 4), "\xEF\xBF\xBDx"},
        {"lone low surrogate", std::string("\x00\xde", 2), "\xEF\xBF\xBD"},
        {"empty", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(registry_string_text(c.bytes), c.text) << c.label;

    EXPECT_EQ(registry_string_bytes("a\xff"), std::string("a\0\xfd\xff\0\0", 6)) << "invalid UTF-8 becomes U+FFFD";
}

TEST_F(RegistryStore, NamesCompareWithoutCaseAndAWriteReplacesOnlyItsValue)
{
    auto key = RegistryKey::create_current_user(test_key);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->set_dword("RenderState", 1));
    ASSERT_TRUE(key->set_dword("SoundOnOff", 1));
    ASSERT_TRUE(key->set_dword("renderstate", 0xFFFFFFFF));
    EXPECT_EQ(key->query("RENDERSTATE")->bytes, std::string("\xFF\xFF\xFF\xFF", 4));
    EXPECT_EQ(key->query("SoundOnOff")->bytes, std::string("\x01\x00\x00\x00", 4));
    // A second open of the same key, spelled in another case, sees the same values.
    auto again = RegistryKey::create_current_user("software\\torvane\\TESTS\\registry");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->query("SoundOnOff")->type, RegistryType::Dword);
    ASSERT_TRUE(again->set_string("LangSelection", "Eng"));
    EXPECT_EQ(key->query("LangSelection")->bytes, std::string("E\0n\0g\0\0\0", 8));
}

TEST_F(RegistryStore, MissingValuesRefusedWritesAndBadKeyNamesFail)
{
    auto key = RegistryKey::create_current_user(test_key);
    ASSERT_TRUE(key);
    auto missing = key->query("Resolution");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), test::system_error_texts().missing_file);

    ASSERT_TRUE(key->set_dword("RenderState", 1));
    refuse_registry_write("renderstate");
    Status refused = key->set_dword("RenderState", 2);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), test::system_error_texts().access_denied);
    EXPECT_EQ(key->query("RenderState")->bytes, std::string("\x01\x00\x00\x00", 4));
    EXPECT_TRUE(key->set_dword("VolumeLevel", 5)) << "other values are still written";
    clear_registry_refusals();
    EXPECT_TRUE(key->set_dword("RenderState", 2));

    for (const char* bad : {"", "SOFTWARE\\\\Torvane", "SOFTWARE\\Torvane\\"})
        EXPECT_FALSE(RegistryKey::create_current_user(bad)) << bad;
}

TEST_F(RegistryStore, RefusedWritesFailLikeADeniedWrite)
{
    RegistryKey key = open_key();
    ASSERT_TRUE(key.set_dword("RenderState", 0));
    refuse_registry_write("renderstate");
    auto refused = key.set_dword("RenderState", 1);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), test::system_error_texts().access_denied);
    EXPECT_EQ(key.query("RenderState")->bytes, std::string("\0\0\0\0", 4));
    EXPECT_TRUE(key.set_dword("SoundOnOff", 1)) << "only the named value is refused";
    clear_registry_refusals();
    EXPECT_TRUE(key.set_dword("RenderState", 1));
}

TEST_F(RegistryStore, OpenFailsWhenTheStoreCannotBeMade)
{
    auto blocker = dir.write("blocker", "a file where a folder must go");
    set_registry_root(blocker / "registry");
    auto key = RegistryKey::create_current_user(game_key);
    ASSERT_FALSE(key);
    EXPECT_NE(key.error().find(test::system_error_texts().file_in_the_way), std::string::npos) << key.error();

    set_registry_root(dir.path() / "store");
    for (const char* bad : {"", "a\\\\b"})
        EXPECT_FALSE(RegistryKey::create_current_user(bad)) << bad;
}

TEST_F(RegistryStore, AnotherFolderIsAnotherStore)
{
    auto moved = RegistryKey::create_current_user(test_key);
    ASSERT_TRUE(moved) << moved.error();
    ASSERT_TRUE(moved->set_dword("WindowMode", 2));

    set_registry_root(dir.path() / "other store");
    auto other = RegistryKey::create_current_user(test_key);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->query("WindowMode")) << "another folder is another store";
}

} // namespace
} // namespace torvane::platform
