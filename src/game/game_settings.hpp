// The game client's own settings that the launcher edits: six numbers and one text in the game's
// registry key, and the frame-rate limit in the game folder's Data/Custom/config.ini.
#pragma once

#include "core/game_client_files.hpp"

#include "platform/result.hpp"
#include "platform/registry.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

namespace torvane {

// The frame-rate limits the game offers; GameSettings::fps_index selects one.
inline constexpr std::array<std::uint32_t, 7> FPS_LIMITS = {30, 60, 120, 144, 240, 300, 360};

// The game's registry key under the current user.
inline constexpr const char* game_registry_key = game_client::registry_key;

struct GameSettings {
    std::string language = "Por";  // "Por", "Eng" or "Spn" in any ASCII case ("LangSelection")
    std::int32_t window_mode = 1;  // 1 window, 0 borderless window, 2 full screen ("WindowMode")
    std::int32_t resolution = 1;   // index into the game's resolution list ("Resolution")
    std::uint32_t fps_index = 5;   // index into FPS_LIMITS (config.ini "FPS"/"Limit")
    std::uint32_t render_state = 0; // 0 OpenGL 2, 1 OpenGL 3 ("RenderState")
    std::int32_t volume = 5;       // 0..10 ("VolumeLevel")
    bool sound_on = true;          // "SoundOnOff"
    bool music_on = false;         // "MusicOnOff"
    bool operator==(const GameSettings&) const = default;
};

namespace registry_value {
struct None {
    bool operator==(const None&) const = default;
};
struct Dword {
    std::int32_t value = 0;
    bool operator==(const Dword&) const = default;
};
struct Text {
    std::string value; // UTF-8
    bool operator==(const Text&) const = default;
};
} // namespace registry_value

using RegistryValue = std::variant<registry_value::None, registry_value::Dword, registry_value::Text>;

// A value of the key as the settings use it: a String or ExpandString as Text (up to its first NUL,
// unpaired surrogates replaced), a Dword of at least 4 bytes as its signed number, and None for a
// missing value, a read error or any other type.
RegistryValue read_registry_value(const platform::RegistryKey& key, std::string_view name);

// A value as a signed number: a Dword as it is, a Text that is a plain decimal number (Unicode white
// space around it, one optional sign, no overflow) as that number, and `default_value` otherwise.
std::int32_t read_registry_dword(const platform::RegistryKey& key, std::string_view name,
                                 std::int32_t default_value);

// <game folder>/Data/Custom/config.ini.
std::filesystem::path config_ini_path(const std::filesystem::path& game_folder);

// The index of the FPS_LIMITS entry nearest to a limit; a tie goes to the smaller limit.
std::uint32_t nearest_fps_index(std::int32_t limit);

// Reads the settings. Never fails: every problem gives the default of the field it touches, and a
// key that cannot be opened gives the whole default record.
GameSettings load_game_settings(const std::filesystem::path& game_folder);

// Writes the settings: the registry values and the INI limit. Fails with "não foi possível abrir o
// registro do jogo" (nothing written) or "o Windows recusou a gravação no registro" (a value write
// was refused; what was written before it stays written). The INI write is not reported.
Status save_game_settings(const std::filesystem::path& game_folder, const GameSettings& settings);

} // namespace torvane
