// What the manifest's end-to-end runs of both builds publish (manifest_e2e_test.cpp, and
// windows/tool_modes_test.cpp with the launcher under Wine): a game folder with nested folders, a
// large file, names with spaces and accents and the files a manifest leaves out, served by nginx.
#pragma once

#include "support/nginx_server.hpp"
#include "support/temp_dir.hpp"
#include "support/tls_test_server.hpp"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace torvane::test {

// Bytes that compress badly, different for each seed.
inline std::string patterned(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 2654435761u + seed) >> 13);
    return bytes;
}

// The files a manifest lists, by their paths in the game folder.
inline const std::vector<std::pair<std::string, std::string>>& game_files()
{
    static const std::vector<std::pair<std::string, std::string>> files = {
        {"Main.exe", patterned(3 * 1048576 + 11, 1)},
        {"Data/Local/Por/Text_Por.bmd", patterned(70000, 2)},
        {"Data/Macro.txt", "macro do jogador"},
        {"Data/Custom/config.ini", "[FPS]\r\nLimit=1\r\n"},
        {"dir with space/é.txt", "acentuação"},
        {"Data-b.txt", "hífen"},
    };
    return files;
}

// Writes the game files below `under` in the folder, and the files a manifest leaves out (a log,
// the launcher's own configuration).
inline void write_game_files(const TempDir& dir, const std::filesystem::path& under)
{
    for (const auto& [path, bytes] : game_files())
        dir.write(under / path, bytes);
    dir.write(under / "Logs/today.txt", "left out");
    dir.write(under / "Data/Launcher/launcher.json", "{}");
}

// nginx serving the folder's "www" over TLS with the certificates (written to its "tls" folder),
// on the port (0: a free one).
inline std::unique_ptr<NginxServer> serve_www(const TempDir& dir, const TestCertificates& certificates, int port)
{
    return NginxServer::start({.root = dir.path() / "www",
                               .certificate_pem = dir.write("tls/server.pem", certificates.server_certificate_pem),
                               .private_key_pem = dir.write("tls/server.key", certificates.server_key_pem),
                               .port = port});
}

} // namespace torvane::test
