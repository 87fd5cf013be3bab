// The signed release list: one client release, its id and every file with size and SHA-256.
//
// File: the list text (ASCII, lines ended by a line feed alone) followed by a 256-byte RSA-2048
// PKCS#1 v1.5 signature over the SHA-256 of the text, most significant byte first.
// Text: "PXWEB001", the release id (32 lower-case hex digits), then one "size sha256 path" per line.
#pragma once

#include "platform/result.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

namespace platform {
class RsaPublicKey;
}

inline constexpr std::string_view release_list_magic = "PXWEB001";
inline constexpr std::size_t release_signature_size = 256;
inline constexpr std::size_t release_list_min_size = 336;
inline constexpr std::size_t release_list_max_size = 5'242'880;
inline constexpr std::uint64_t release_entry_max_size = 71'303'168; // 68 MiB
inline constexpr std::size_t release_list_max_entries = 30'000;
inline constexpr std::size_t release_id_length = 32;

// Files every release has (names compared ASCII case-insensitively).
inline constexpr std::array<std::string_view, 11> core_release_files = {
    "Main.exe",    "Main.exe.sig",   "FONT.ini",          "glew32.dll",
    "icon.ico",    "ogg.dll",        "vorbisfile.dll",    "qyAudio.dll",
    "Assets/assets.idx", "Assets/assets.idx.sig", "Assets/AGENTS.md",
};

// Files the player may edit: installed when missing, never overwritten.
inline constexpr std::array<std::string_view, 4> user_files = {
    "Data/CameraSession.ini",
    "Data/Custom/config.ini",
    "Data/Macro.txt",
    "Data/Resolutions.xml",
};

inline constexpr char release_list_signature_message[] = "a lista de atualização não tem uma assinatura válida.";
inline constexpr char release_list_invalid_message[] = "lista de atualização inválida.";
inline constexpr char release_entry_invalid_message[] = "entrada inválida na lista de atualização.";
inline constexpr char release_list_incomplete_message[] = "lista de atualização incompleta.";

struct ReleaseEntry {
    std::uint64_t size = 0;
    // As written in the list: its case is the case on disk and in download addresses.
    std::string path;
    // 64 lower-case hex digits.
    std::string sha256;

    bool operator==(const ReleaseEntry&) const = default;
};

struct ReleaseList {
    std::string release_id; // 32 lower-case hex digits
    std::vector<ReleaseEntry> entries; // in file order

    bool operator==(const ReleaseList&) const = default;
};

// Checks a whole list file against the built-in release key and reads it. The first failing check
// decides the message (one of the four above); nothing is partly accepted.
Result<ReleaseList> parse_release_list(std::string_view file);
// The same against another key (the publisher checks its own output with the key it signed with).
Result<ReleaseList> parse_release_list(std::string_view file, const platform::RsaPublicKey& key);

// The checks that follow the signature, on the text alone. Only for text whose signature has
// already been verified (or that this program has just written).
Result<ReleaseList> parse_release_text(std::string_view text);

// The text of a list (without its signature), the exact inverse of parse_release_text.
std::string release_list_text(const ReleaseList& list);

bool is_core_release_file(std::string_view path);
bool is_user_file(std::string_view path);
// "Assets/" + 64 lower-case hex digits + ".pmk", exact case.
bool is_asset_blob_name(std::string_view path);

} // namespace torvane
