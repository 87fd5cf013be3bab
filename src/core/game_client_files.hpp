// What the launcher reads from, writes for and asks of the game client. Paths are relative to the
// game folder (the active release folder, or the launcher's own folder); "/" separates folders.
#pragma once

#include <array>
#include <string_view>

namespace torvane::game_client {

// The client executable, its signature beside it, and the argument it is started with.
inline constexpr const char executable[] = "Main.exe";
inline constexpr const char executable_signature[] = "Main.exe.sig";
inline constexpr const char launch_argument[] = "-launcher";
// The start's error code when the player declined the elevation prompt the client asks for.
inline constexpr int elevation_declined_error = 1223;

// The game's settings key under the current user's registry; values read back as written.
inline constexpr const char registry_key[] = "SOFTWARE\\Quenby\\Ornhald2\\Config";
namespace registry_value {
inline constexpr const char window_mode[] = "WindowMode";     // DWORD
inline constexpr const char resolution[] = "Resolution";      // DWORD
inline constexpr const char render_state[] = "RenderState";   // DWORD
inline constexpr const char sound_on_off[] = "SoundOnOff";    // DWORD
inline constexpr const char music_on_off[] = "MusicOnOff";    // DWORD
inline constexpr const char volume_level[] = "VolumeLevel";   // DWORD
inline constexpr const char lang_selection[] = "LangSelection"; // text
} // namespace registry_value

// The frame-rate limit: a whole number in section "FPS", key "Limit"; 300 when the file is missing.
inline constexpr const char frame_rate_ini[] = "Data/Custom/config.ini";
inline constexpr const char frame_rate_section[] = "FPS";
inline constexpr const char frame_rate_key[] = "Limit";
inline constexpr int default_frame_rate_limit = 300;

// The resolution list: "Resolution" elements with "index" and "name" attributes. An unreadable or
// empty file means the built-in list.
inline constexpr const char resolutions_xml[] = "Data/Resolutions.xml";
inline constexpr const char resolution_element[] = "Resolution";
inline constexpr const char resolution_index_attribute[] = "index";
inline constexpr const char resolution_name_attribute[] = "name";

// Installed languages: a code counts when language_folder/<code>/language_text_file exists.
inline constexpr const char language_folder[] = "Data/Local";
inline constexpr const char language_text_file[] = "Text.bmd";
inline constexpr std::array<std::string_view, 3> language_codes {"eng", "spn", "por"};

// The game server's host and port, scrambled; read by the server status probe.
inline constexpr const char server_address_file[] = "Data/Local/Connect.msil";

} // namespace torvane::game_client
