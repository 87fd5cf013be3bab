#include "platform/files.hpp"
#include "platform/registry.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace torvane::platform {
namespace {

constexpr const char game_key[] = "SOFTWARE\\Quenby\\Ornhald2\\Config";

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override { set_registry_root(dir.path() / "registry"); }
    void TearDown() override
    {
        clear_registry_refusals();
        set_registry_root({});
    }
    fs::path key_file() const { return dir.path() / "registry" / "software" / "quenby" / "ornhald2" / "config.key"; }
    RegistryKey open_key() const
    {
        auto key = RegistryKey::create_current_user(game_key);
        if (!key)
            ADD_FAILURE() << key.error();
        return std::move(*key);
    }

    test::TempDir dir;
};

TEST_F(RegistryStore, OpeningCreatesTheKeyFileAndLeavesAnExistingOneAlone)
{
    EXPECT_FALSE(fs::exists(key_file()));
    RegistryKey key = open_key();
    EXPECT_EQ(key.file(), key_file());
    ASSERT_TRUE(fs::exists(key_file()));
    auto missing = key.query("WindowMode");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), "No such file or directory (os error 2)");

    ASSERT_TRUE(key.set_dword("WindowMode", 2));
    std::string stored = *read_file(key_file(), document_read_limit);
    // Key paths compare without case: another spelling opens the same key and rewrites nothing.
    auto again = RegistryKey::create_current_user("software\\QUENBY\\ornhald2\\config");
    ASSERT_TRUE(again);
    EXPECT_EQ(*read_file(key_file(), document_read_limit), stored);
    EXPECT_EQ(again->query("windowmode")->bytes, std::string("\x02\0\0\0", 4));
}

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
    EXPECT_EQ(std::distance(fs::directory_iterator(key_file().parent_path()), {}), 1) << "temporary left behind";
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

// A key file that is endless, blocks or is oversized is unreadable: its values cannot be had, and
// asking for them ends at once.
TEST_F(RegistryStore, AKeyFileThatIsNoPlainFileOrTooLargeIsUnreadable)
{
    RegistryKey key = open_key();
    ASSERT_TRUE(key.set_dword("WindowMode", 2));
    const std::string complete = *read_file(key_file(), document_read_limit);
    for (test::FileShape shape : test::all_file_shapes) {
        SCOPED_TRACE(test::file_shape_name(shape));
        test::PlantedFile planted(key_file(), shape, complete, document_read_limit, '\n');
        auto value = key.query("WindowMode");
        EXPECT_EQ(value.has_value(), shape == test::FileShape::Regular);
    }
}

TEST_F(RegistryStore, DamagedFileReadsEmptyAndSurvivesUntilAWriteSucceeds)
{
    RegistryKey key = open_key();
    ASSERT_TRUE(key.set_dword("WindowMode", 2));
    ASSERT_TRUE(key.set_dword("Resolution", 4));
    std::string complete = *read_file(key_file(), document_read_limit);

    struct Case {
        const char* label;
        std::string bytes;
    };
    const Case cases[] = {
        {"garbage", "\x01\x02 not a key file"},
        {"cut before its end line", complete.substr(0, complete.rfind("end "))},
        {"cut inside a line", complete.substr(0, complete.size() - 1)},
        {"count disagrees", complete.substr(0, complete.rfind("end ")) + "end 3\n"},
        {"bad hex", "torvane-registry 1\nkey k\nvalue 4 WindowMode 0x\nend 1\n"},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(write_file(key_file(), c.bytes));
        auto reopened = RegistryKey::create_current_user(game_key);
        ASSERT_TRUE(reopened) << c.label;
        EXPECT_FALSE(reopened->query("WindowMode")) << c.label;
        refuse_registry_write("RenderState");
        EXPECT_FALSE(reopened->set_dword("RenderState", 1));
        clear_registry_refusals();
        EXPECT_EQ(*read_file(key_file(), document_read_limit), c.bytes) << c.label << ": the damaged file must stay until a save";

        ASSERT_TRUE(reopened->set_dword("RenderState", 1)) << c.label;
        EXPECT_EQ(reopened->query("RenderState")->bytes, std::string("\x01\0\0\0", 4)) << c.label;
        EXPECT_FALSE(reopened->query("Resolution")) << c.label;
    }
}

TEST_F(RegistryStore, RefusedWritesFailLikeADeniedWrite)
{
    RegistryKey key = open_key();
    ASSERT_TRUE(key.set_dword("RenderState", 0));
    refuse_registry_write("renderstate");
    auto refused = key.set_dword("RenderState", 1);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "Permission denied (os error 13)");
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
    EXPECT_NE(key.error().find("(os error 20)"), std::string::npos) << key.error();

    set_registry_root(dir.path() / "registry");
    for (const char* bad : {"", "a\\\\b", "a\\..\\b", "a/b", "a\\."})
        EXPECT_FALSE(RegistryKey::create_current_user(bad)) << bad;
}

TEST_F(RegistryStore, DefaultLocationFollowsTheConfigurationFolder)
{
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    Saved saved[] = {{"XDG_CONFIG_HOME", std::nullopt}, {"HOME", std::nullopt}};
    for (auto& s : saved)
        if (const char* v = std::getenv(s.name))
            s.value = v;

    set_registry_root({});
    ::setenv("HOME", "/home/jogador", 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(registry_root(), fs::path("/tmp/cfg/torvane/registry"));
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(registry_root(), fs::path("/home/jogador/.config/torvane/registry"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(registry_root(), fs::path("/home/jogador/.config/torvane/registry"));

    for (const auto& s : saved) {
        if (s.value)
            ::setenv(s.name, s.value->c_str(), 1);
        else
            ::unsetenv(s.name);
    }
}

} // namespace
} // namespace torvane::platform
