#include "game/game_settings.hpp"
#include "core/game_client_files.hpp"
#include "game/game_text.hpp"
#include "platform/files.hpp"
#include "platform/ini_file.hpp"
#include "platform/unicode.hpp"

#include <algorithm>
#include <cstdlib>

namespace torvane {

namespace fs = std::filesystem;
namespace value_name = game_client::registry_value;

namespace {

constexpr const char key_open_failed[] = "não foi possível abrir o registro do jogo";
constexpr const char write_refused[] = "o Windows recusou a gravação no registro";

constexpr std::int32_t default_fps_limit = game_client::default_frame_rate_limit;

// Only 0 and 2 name other modes; anything else is the plain window.
std::int32_t normalized_window_mode(std::int32_t mode) { return mode == 0 || mode == 2 ? mode : 1; }

bool is_game_language(std::string_view text)
{
    return platform::equal_ignoring_ascii_case(text, "Eng") || platform::equal_ignoring_ascii_case(text, "Spn") ||
           platform::equal_ignoring_ascii_case(text, "Por");
}

} // namespace

RegistryValue read_registry_value(const platform::RegistryKey& key, std::string_view name)
{
    auto data = key.query(name);
    if (!data)
        return registry_value::None{};
    switch (data->type) {
    case platform::RegistryType::String:
    case platform::RegistryType::ExpandString:
        return registry_value::Text{platform::registry_string_text(data->bytes)};
    case platform::RegistryType::Dword:
        if (data->bytes.size() >= 4) {
            std::uint32_t value = 0;
            for (int i = 3; i >= 0; --i)
                value = (value << 8) | static_cast<unsigned char>(data->bytes[static_cast<std::size_t>(i)]);
            return registry_value::Dword{static_cast<std::int32_t>(value)};
        }
        return registry_value::None{};
    default:
        return registry_value::None{};
    }
}

std::int32_t read_registry_dword(const platform::RegistryKey& key, std::string_view name,
                                 std::int32_t default_value)
{
    RegistryValue value = read_registry_value(key, name);
    if (const auto* number = std::get_if<registry_value::Dword>(&value))
        return number->value;
    if (const auto* text = std::get_if<registry_value::Text>(&value))
        return parse_trimmed_i32(text->value).value_or(default_value);
    return default_value;
}

fs::path config_ini_path(const fs::path& game_folder) { return game_folder / game_client::frame_rate_ini; }

std::uint32_t nearest_fps_index(std::int32_t limit)
{
    std::uint32_t best = 0;
    std::int64_t best_distance = std::llabs(static_cast<std::int64_t>(limit) - FPS_LIMITS[0]);
    for (std::uint32_t i = 1; i < FPS_LIMITS.size(); ++i) {
        std::int64_t distance = std::llabs(static_cast<std::int64_t>(limit) - FPS_LIMITS[i]);
        if (distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}

GameSettings load_game_settings(const fs::path& game_folder)
{
    GameSettings settings;
    auto key = platform::RegistryKey::create_current_user(game_registry_key);
    if (!key)
        return settings;

    settings.window_mode = normalized_window_mode(read_registry_dword(*key, value_name::window_mode, 1));
    settings.resolution = read_registry_dword(*key, value_name::resolution, 1);

    fs::path ini = config_ini_path(game_folder);
    auto info = platform::file_info(ini, platform::FollowLinks::Yes);
    std::int32_t limit = default_fps_limit;
    if (info && info->kind != platform::FileKind::Missing)
        limit = platform::ini_read_int(ini, game_client::frame_rate_section, game_client::frame_rate_key, default_fps_limit);
    settings.fps_index = nearest_fps_index(limit);

    settings.render_state = read_registry_dword(*key, value_name::render_state, 0) > 0 ? 1 : 0;
    settings.sound_on = read_registry_dword(*key, value_name::sound_on_off, 1) != 0;
    settings.music_on = read_registry_dword(*key, value_name::music_on_off, 0) != 0;
    settings.volume = std::clamp(read_registry_dword(*key, value_name::volume_level, 5), 0, 10);

    RegistryValue language = read_registry_value(*key, value_name::lang_selection);
    if (const auto* text = std::get_if<registry_value::Text>(&language); text && is_game_language(text->value))
        settings.language = text->value; // kept in the case it was stored in
    return settings;
}

Status save_game_settings(const fs::path& game_folder, const GameSettings& settings)
{
    auto key = platform::RegistryKey::create_current_user(game_registry_key);
    if (!key)
        return failure(key_open_failed);

    bool head_written =
        key->set_dword(value_name::window_mode, static_cast<std::uint32_t>(normalized_window_mode(settings.window_mode))) &&
        key->set_dword(value_name::resolution, static_cast<std::uint32_t>(settings.resolution));

    // The limit goes to the INI whatever became of the registry; its failures are not reported.
    fs::path ini = config_ini_path(game_folder);
    (void)platform::create_folders(ini.parent_path());
    std::size_t fps_index = std::min<std::size_t>(settings.fps_index, FPS_LIMITS.size() - 1);
    (void)platform::ini_write_string(ini, game_client::frame_rate_section, game_client::frame_rate_key, std::to_string(FPS_LIMITS[fps_index]));

    std::string_view language = settings.language.empty() ? std::string_view("Por") : settings.language;
    bool tail_written = key->set_dword(value_name::render_state, settings.render_state) &&
                        key->set_dword(value_name::sound_on_off, settings.sound_on ? 1 : 0) &&
                        key->set_dword(value_name::music_on_off, settings.music_on ? 1 : 0) &&
                        key->set_dword(value_name::volume_level, static_cast<std::uint32_t>(settings.volume)) &&
                        key->set_string(value_name::lang_selection, language);

    if (!head_written || !tail_written)
        return failure(write_refused);
    return {};
}

} // namespace torvane
