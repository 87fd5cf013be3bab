// The registry store of Linux's own: one file per key under the configuration folder.
#include "platform/files.hpp"
#include "platform/registry.hpp"
#include "support/file_shapes.hpp"
#include "support/registry_store.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace torvane::platform {
namespace {

constexpr char game_key[] = "SOFTWARE\\Quenby\\Ornhald2\\Config";

class RegistryKeyFile : public test::RegistryStoreTest {
protected:
    fs::path key_file() const { return dir.path() / "store" / "software" / "quenby" / "ornhald2" / "config.key"; }
    RegistryKey open_key() const { return RegistryStoreTest::open_key(game_key); }
};

TEST_F(RegistryKeyFile, OpeningCreatesTheKeyFileAndLeavesAnExistingOneAlone)
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

// A key file that is endless, blocks or is oversized is unreadable: its values cannot be had, and
// asking for them ends at once.
TEST_F(RegistryKeyFile, AKeyFileThatIsNoPlainFileOrTooLargeIsUnreadable)
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

TEST_F(RegistryKeyFile, DamagedFileReadsEmptyAndSurvivesUntilAWriteSucceeds)
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

// Key paths name files: a path that would leave the store's folder or name another file is refused.
TEST_F(RegistryKeyFile, PathsThatNameNoKeyFileOfTheStoreAreRefused)
{
    for (const char* bad : {"a\\..\\b", "a/b", "a\\."})
        EXPECT_FALSE(RegistryKey::create_current_user(bad)) << bad;
}

TEST_F(RegistryKeyFile, WritesLeaveNoTemporaryBehind)
{
    RegistryKey key = open_key();
    ASSERT_TRUE(key.set_dword("WindowMode", 1));
    ASSERT_TRUE(key.set_string("LangSelection", "Eng"));
    ASSERT_TRUE(key.set("windowmode", RegistryType::Dword, std::string("\x02\0\0\0", 4)));
    EXPECT_EQ(std::distance(fs::directory_iterator(key_file().parent_path()), {}), 1) << "temporary left behind";
}

TEST_F(RegistryKeyFile, DefaultLocationFollowsTheConfigurationFolder)
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
