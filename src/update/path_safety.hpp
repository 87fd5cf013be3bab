// Keeps every path of the signed update inside the game folder and off planted links.
#pragma once

#include "platform/result.hpp"

#include <filesystem>
#include <string>
#include <string_view>

namespace torvane {

inline constexpr char outside_base_message[] = "o arquivo está fora da pasta do Torvane.";
inline constexpr char redirected_message[] = "a pasta do Torvane não aceita redirecionamentos locais.";

// The comparison key of a path: its text (invalid UTF-8 replaced by U+FFFD), every '/' turned into
// '\', lower-cased by the Unicode rules, trailing '\' removed. Nothing else is normalised.
std::string path_key(const std::filesystem::path& path);

// The path with the suffix appended to its last component ("Main.exe" and ".part" give
// "Main.exe.part").
std::filesystem::path with_suffix(const std::filesystem::path& path, std::string_view suffix);

// The folder followed by each '/'-separated segment of the relative path; empty segments skipped.
std::filesystem::path push_relative_path(const std::filesystem::path& folder, std::string_view relative);

// Succeeds when the path (already joined; absolute, or relative like the base) lies inside the base
// and no existing component between them, the path itself included, is a symbolic link or any
// other reparse point (platform::FileInfo::reparse_point: on Windows a junction, a symbolic link,
// a cloud placeholder, any tag). Components that do not exist yet pass. The base itself is not
// tested for being a link. Errors: the two messages above; a ".." component below the base counts
// as outside.
Status ensure_inside_base(const std::filesystem::path& base, const std::filesystem::path& path);

// Whether Windows would open something other than the file a path component names, whichever
// system the launcher runs on (a manifest is followed by both): a reserved device name, in any
// letter case and also with an extension or blanks before one ("nul.txt", "COM1 .log"): CON,
// PRN, AUX, NUL, COM0 to COM9 and LPT0 to LPT9 (with the superscript digits ¹ ² ³ too, which
// Windows also takes as port numbers); or a component ending in a dot or a blank, which Windows
// strips ("Main.exe." names "Main.exe").
bool is_windows_redirected_name(std::string_view component);

} // namespace torvane
