#include "game/game_settings.hpp"
#include "platform/files.hpp"
#include "platform/registry.hpp"
#include "support/registry_store.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace torvane {
namespace {

namespace fs = std::filesystem;
using platform::RegistryType;

struct RawValue {
    std::string name;
    RegistryType type;
    std::string bytes;
};

RawValue dword(std::string name, std::int32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
    return {std::move(name), RegistryType::Dword, bytes};
}

RawValue text(std::string name, std::string_view utf8, RegistryType type = RegistryType::String)
{
    return {std::move(name), type, platform::registry_string_bytes(utf8)};
}

std::string ini_limit(std::string_view value) { return "[FPS]\r\nLimit=" + std::string(value) + "\r\n"; }

class GameSettingsStore : public test::RegistryStoreTest {
protected:
    platform::RegistryKey key() const { return open_key(game_registry_key); }
    void store(const std::vector<RawValue>& values) const
    {
        platform::RegistryKey k = key();
        for (const auto& v : values)
            ASSERT_TRUE(k.set(v.name, v.type, v.bytes)) << v.name;
    }
    std::optional<platform::RegistryData> stored(std::string_view name) const
    {
        auto data = key().query(name);
        return data ? std::optional(*data) : std::nullopt;
    }

    fs::path game = dir.path() / "game";
};

TEST_F(GameSettingsStore, LoadTurnsEveryStoredFormIntoItsField)
{
    struct Case {
        const char* label;
        std::vector<RawValue> values;
        std::optional<std::string> ini; // nothing: no config.ini
        GameSettings expected;
    };
    const Case cases[] = {
        {"nothing stored", {}, std::nullopt, {}},
        {"window mode as text with blanks", {text("WindowMode", " 2 ")}, std::nullopt, {.window_mode = 2}},
        {"window mode 0 kept", {dword("WindowMode", 0)}, std::nullopt, {.window_mode = 0}},
        {"window mode 7 is a window", {dword("WindowMode", 7)}, std::nullopt, {.window_mode = 1}},
        {"window mode unparsable text", {text("WindowMode", "2x")}, std::nullopt, {.window_mode = 1}},
        {"resolution taken as it is", {dword("Resolution", 99)}, std::nullopt, {.resolution = 99}},
        {"resolution negative", {dword("Resolution", -4)}, std::nullopt, {.resolution = -4}},
        {"resolution text in Unicode blanks", {text("Resolution", "\u00A0+7\u3000")}, std::nullopt, {.resolution = 7}},
        {"resolution smallest number", {text("Resolution", "-2147483648")}, std::nullopt, {.resolution = INT32_MIN}},
        {"resolution overflow", {text("Resolution", "2147483648")}, std::nullopt, {.resolution = 1}},
        {"resolution lone sign", {text("Resolution", "-")}, std::nullopt, {.resolution = 1}},
        {"expandable text reads as text", {text("Resolution", "12", RegistryType::ExpandString)}, std::nullopt,
         {.resolution = 12}},
        {"binary value ignored", {{"Resolution", RegistryType::Binary, std::string("\x05\0\0\0", 4)}}, std::nullopt,
         {.resolution = 1}},
        {"short dword ignored", {{"VolumeLevel", RegistryType::Dword, std::string("\x02\0", 2)}}, std::nullopt,
         {.volume = 5}},
        {"volume below range", {dword("VolumeLevel", -3)}, std::nullopt, {.volume = 0}},
        {"volume above range", {dword("VolumeLevel", 25)}, std::nullopt, {.volume = 10}},
        {"renderer 2 is on", {dword("RenderState", 2)}, std::nullopt, {.render_state = 1}},
        {"renderer negative is off", {dword("RenderState", -1)}, std::nullopt, {.render_state = 0}},
        {"sound off, music on", {dword("SoundOnOff", 0), dword("MusicOnOff", 5)}, std::nullopt,
         {.sound_on = false, .music_on = true}},
        {"language kept in its case", {text("LangSelection", "eng")}, std::nullopt, {.language = "eng"}},
        {"language Spn", {text("LangSelection", "SPN")}, std::nullopt, {.language = "SPN"}},
        {"language too long", {text("LangSelection", "Port")}, std::nullopt, {.language = "Por"}},
        {"language unknown", {text("LangSelection", "xyz")}, std::nullopt, {.language = "Por"}},
        {"language as a number", {dword("LangSelection", 1)}, std::nullopt, {.language = "Por"}},
        {"limit 144", {}, ini_limit("144"), {.fps_index = 3}},
        {"limit 90 ties to the smaller", {}, ini_limit("90"), {.fps_index = 1}},
        {"limit 45", {}, ini_limit("45"), {.fps_index = 0}},
        {"limit 330", {}, ini_limit("330"), {.fps_index = 5}},
        {"limit 1000", {}, ini_limit("1000"), {.fps_index = 6}},
        {"limit 0", {}, ini_limit("0"), {.fps_index = 0}},
        {"limit negative", {}, ini_limit("-20"), {.fps_index = 0}},
        {"limit without digits reads 0", {}, ini_limit("abc"), {.fps_index = 0}},
        {"ini without the key", {}, std::string("[FPS]\r\n"), {.fps_index = 5}},
    };
    for (const auto& c : cases) {
        test::TempDir case_dir;
        platform::set_registry_root(case_dir.path() / "store");
        fs::path case_game = case_dir.path() / "game";
        store(c.values);
        if (c.ini)
            case_dir.write("game/Data/Custom/config.ini", *c.ini);
        EXPECT_EQ(load_game_settings(case_game), c.expected) << c.label;
    }
}

TEST_F(GameSettingsStore, KeyThatCannotBeOpenedGivesAllDefaults)
{
    dir.write("game/Data/Custom/config.ini", ini_limit("144"));
    platform::set_registry_root(dir.write("blocker", "x") / "store");
    EXPECT_EQ(load_game_settings(game), GameSettings{});

    auto saved = save_game_settings(game, GameSettings{.fps_index = 0});
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error(), "não foi possível abrir o registro do jogo");
    EXPECT_EQ(dir.read("game/Data/Custom/config.ini"), ini_limit("144")) << "nothing is written";
}

TEST_F(GameSettingsStore, SaveWritesTypedValuesAndTheLimit)
{
    GameSettings settings{.language = "Eng", .window_mode = 5, .resolution = 7, .fps_index = 9, .render_state = 1,
                          .volume = 3, .sound_on = false, .music_on = true};
    ASSERT_TRUE(save_game_settings(game, settings));

    struct Expected {
        const char* name;
        RawValue value;
    };
    const Expected expected[] = {
        {"window mode 5 saved as a window", dword("WindowMode", 1)},
        {"resolution", dword("Resolution", 7)},
        {"renderer", dword("RenderState", 1)},
        {"sound", dword("SoundOnOff", 0)},
        {"music", dword("MusicOnOff", 1)},
        {"volume", dword("VolumeLevel", 3)},
        {"language", {"LangSelection", RegistryType::String, std::string("E\0n\0g\0\0\0", 8)}},
    };
    for (const auto& e : expected) {
        auto data = stored(e.value.name);
        ASSERT_TRUE(data) << e.name;
        EXPECT_EQ(data->type, e.value.type) << e.name;
        EXPECT_EQ(data->bytes, e.value.bytes) << e.name;
    }
    EXPECT_EQ(dir.read("game/Data/Custom/config.ini"), ini_limit("360")) << "index 9 saves the highest limit";

    GameSettings reloaded = load_game_settings(game);
    settings.window_mode = 1;
    settings.fps_index = 6;
    EXPECT_EQ(reloaded, settings);
}

TEST_F(GameSettingsStore, EmptyLanguageSavesPortuguese)
{
    ASSERT_TRUE(save_game_settings(game, GameSettings{.language = ""}));
    EXPECT_EQ(stored("LangSelection")->bytes, std::string("P\0o\0r\0\0\0", 8));
}

TEST_F(GameSettingsStore, SaveKeepsTheRestOfAnExistingIni)
{
    dir.write("game/Data/Custom/config.ini", "; gráficos\r\n[Video]\r\nGamma=3\r\n[FPS]\r\nLimit=30\r\n");
    ASSERT_TRUE(save_game_settings(game, GameSettings{.fps_index = 3}));
    EXPECT_EQ(dir.read("game/Data/Custom/config.ini"), "; gráficos\r\n[Video]\r\nGamma=3\r\n[FPS]\r\nLimit=144\r\n");
}

TEST_F(GameSettingsStore, RefusedRenderStateStopsTheLaterWrites)
{
    platform::refuse_registry_write("RenderState");
    auto saved = save_game_settings(game, GameSettings{.resolution = 4, .fps_index = 2});
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error(), "o Windows recusou a gravação no registro");

    EXPECT_EQ(stored("WindowMode")->bytes, dword("WindowMode", 1).bytes);
    EXPECT_EQ(stored("Resolution")->bytes, dword("Resolution", 4).bytes);
    EXPECT_EQ(dir.read("game/Data/Custom/config.ini"), ini_limit("120")) << "the INI is written before";
    for (const char* later : {"RenderState", "SoundOnOff", "MusicOnOff", "VolumeLevel", "LangSelection"})
        EXPECT_FALSE(stored(later)) << later << " must stay unwritten";
}

TEST_F(GameSettingsStore, RefusedWindowModeSkipsResolutionButNotTheRest)
{
    platform::refuse_registry_write("WindowMode");
    auto saved = save_game_settings(game, GameSettings{.resolution = 4});
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error(), "o Windows recusou a gravação no registro");
    EXPECT_FALSE(stored("Resolution"));
    EXPECT_EQ(dir.read("game/Data/Custom/config.ini"), ini_limit("300"));
    for (const char* later : {"RenderState", "SoundOnOff", "MusicOnOff", "VolumeLevel", "LangSelection"})
        EXPECT_TRUE(stored(later)) << later;
}

TEST_F(GameSettingsStore, FailedIniWriteIsNotReported)
{
    dir.write("game/Data", "a file where the folder must be");
    EXPECT_TRUE(save_game_settings(game, GameSettings{.fps_index = 0}));
    EXPECT_EQ(stored("WindowMode")->bytes, dword("WindowMode", 1).bytes);
}

TEST_F(GameSettingsStore, DamagedStoreLoadsDefaultsAndSurvivesUntilSaved)
{
    store({dword("WindowMode", 2)});
    fs::path file = key().file();
    const std::string damaged = "torvane-registry 1\nkey x\nvalue 4 WindowMode 02";
    ASSERT_TRUE(platform::write_file(file, damaged));

    EXPECT_EQ(load_game_settings(game), GameSettings{});
    EXPECT_EQ(*platform::read_file(file, platform::document_read_limit), damaged);

    GameSettings settings{.language = "Spn", .window_mode = 0, .volume = 9};
    ASSERT_TRUE(save_game_settings(game, settings));
    EXPECT_NE(*platform::read_file(file, platform::document_read_limit), damaged);
    EXPECT_EQ(load_game_settings(game), settings);
}

TEST_F(GameSettingsStore, FreshProcessReadsWhatWasSaved)
{
    // The child finds the store through the default location rule, below XDG_CONFIG_HOME.
    fs::path config_home = dir.path() / "config";
    platform::set_registry_root(config_home / "torvane" / "registry");
    GameSettings settings{.language = "eng", .window_mode = 2, .resolution = 13, .fps_index = 4, .render_state = 1,
                          .volume = 0, .sound_on = false, .music_on = true};
    ASSERT_TRUE(save_game_settings(game, settings));
    fs::path report = dir.path() / "report.txt";

    // Everything the child needs is prepared before fork, which then only calls execve.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        std::string_view name(*entry);
        if (!name.starts_with("XDG_CONFIG_HOME="))
            environment.emplace_back(*entry);
    }
    environment.push_back("XDG_CONFIG_HOME=" + config_home.string());
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string exe = TORVANE_SETTINGS_READER;
    std::string game_arg = game.string();
    std::string report_arg = report.string();
    char* argv[] = {exe.data(), game_arg.data(), report_arg.data(), nullptr};

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execve(exe.c_str(), argv, envp.data());
        ::_exit(127);
    }
    int status = 0;
    pid_t done = 0;
    for (int waited = 0; waited < 3000 && done == 0; ++waited) { // at most 30 s
        done = ::waitpid(child, &status, WNOHANG);
        if (done == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (done == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "the child process did not finish";
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    EXPECT_EQ(dir.read("report.txt"), "eng 2 13 4 1 0 0 1");
}

} // namespace
} // namespace torvane
