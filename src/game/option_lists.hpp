// The lists of choices the settings panel offers for the fields of GameSettings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// One entry of a list: the value stored in GameSettings (as text) and the label shown.
struct OptionChoice {
    std::string value;
    std::string label;
    bool operator==(const OptionChoice&) const = default;
};

// A fixed table entry, copied into an OptionChoice by option_list.
struct OptionText {
    std::string_view value;
    std::string_view label;
};

struct ResolutionEntry {
    std::int32_t index = 0;
    std::string name;
};

inline constexpr OptionText window_mode_options[] = {
    {"1", "Janela"},
    {"0", "Janela sem borda"},
    {"2", "Tela cheia"},
};

inline constexpr OptionText fps_limit_options[] = {
    {"0", "30 FPS"},  {"1", "60 FPS"},           {"2", "120 FPS"}, {"3", "144 FPS"},
    {"4", "240 FPS"}, {"5", "300 FPS (padrão)"}, {"6", "360 FPS"},
};

inline constexpr OptionText renderer_options[] = {
    {"0", "OpenGL 2 (clássico)"},
    {"1", "OpenGL 3 (recomendado)"},
};

inline constexpr OptionText managed_language_options[] = {
    {"Por", "Português"},
    {"Eng", "English"},
    {"Spn", "Español"},
};

// The resolutions shown by the screenshot capture, which has no game folder to read.
inline constexpr OptionText capture_resolution_options[] = {
    {"0", "800x600"}, {"1", "1024x768"}, {"2", "1280x720"}, {"3", "1600x900"}, {"4", "1920x1080"},
};

// The resolutions used when Data/Resolutions.xml yields none, in index order.
inline constexpr std::string_view builtin_resolution_names[] = {
    "800x600",   "1024x768",  "1152x864",  "1280x768",  "1280x800",  "1280x960",  "1280x1024",
    "1366x768",  "1440x900",  "1600x900",  "1600x1200", "1680x1050", "1600x1280", "1910x970",
    "1920x1080", "1920x1200", "2560x1440", "2560x1600", "3440x1440", "3840x2160",
};

// Copies a fixed table into owned choices, in table order.
std::vector<OptionChoice> option_list(std::span<const OptionText> table);

// The "Resolution" entries of <game folder>/Data/Resolutions.xml sorted by index (stable), or the
// built-in list when the file is unreadable or has no valid entry. Value: the index; label: the
// "name" attribute, else the index.
std::vector<OptionChoice> resolution_choices(const std::filesystem::path& game_folder);

// The entries of an XML text, in file order, as resolution_choices finds them.
std::vector<ResolutionEntry> scan_resolution_entries(std::string_view xml);

// The value of an attribute in one tag's text (what follows the element name), unescaped; nothing
// when it is missing or unquoted.
std::optional<std::string> find_xml_attribute(std::string_view tag, std::string_view name);

// The language list. Managed: the fixed three. Otherwise the folders Eng, Spn and Por (any ASCII
// case) under <game folder>/Data/Local that hold a Text.bmd, in byte order with Por first; the
// single Portuguese choice when there is none.
std::vector<OptionChoice> language_choices(const std::filesystem::path& game_folder, bool managed_update);

// One step over a folder listing: the name of the next entry that is a folder (a symbolic link is
// not one), as text with invalid sequences replaced, or nothing at the end or on a listing error.
std::optional<std::string> next_subfolder_name(std::filesystem::directory_iterator& listing);

} // namespace torvane
