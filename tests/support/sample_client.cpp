#include "support/sample_client.hpp"

#include "platform/sha256.hpp"
#include "support/temp_dir.hpp"

#include <fstream>
#include <stdexcept>

namespace torvane::test {

namespace {

void write(const std::filesystem::path& folder, const std::string& relative, const std::string& bytes)
{
    std::filesystem::path full = folder / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + full.string());
}

std::string sha256_hex(const std::string& bytes)
{
    platform::Sha256 hasher;
    hasher.update(bytes);
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : hasher.finish()) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

} // namespace

std::vector<std::string> write_sample_client(const std::filesystem::path& folder, const SampleClient& client)
{
    std::vector<std::pair<std::string, std::string>> files = {
        {"Main.exe", client.flavour + client.main_exe},
        {"FONT.ini", client.flavour + "[Font]\nName=Sans\n"},
        {"glew32.dll", client.flavour + "glew"},
        {"icon.ico", client.flavour + "icon"},
        {"ogg.dll", client.flavour + "ogg"},
        {"vorbisfile.dll", client.flavour + "vorbisfile"},
        {"qyAudio.dll", client.flavour + "qyAudio"},
        {"Assets/assets.idx", std::string("PXIDX001") + std::string(16, '\0') + client.flavour + "index body"},
        {"Assets/AGENTS.md", client.flavour + "# assets\n"},
        {"Data/CameraSession.ini", client.flavour + "[Camera]\n"},
        {"Data/Custom/config.ini", client.flavour + "[Config]\nFps=60\n"},
        {"Data/Macro.txt", client.flavour + "macro"},
        {"Data/Resolutions.xml", client.flavour + "<Resolutions/>"},
    };
    for (int i = 0; i < client.asset_blobs; ++i) {
        std::string content = client.flavour + "asset blob " + std::to_string(i);
        files.emplace_back("Assets/" + sha256_hex(content) + ".pmk", content);
    }
    std::vector<std::string> written;
    for (const auto& [path, bytes] : files) {
        write(folder, path, bytes);
        written.push_back(path);
    }
    return written;
}

std::filesystem::path dev_key_path() { return source_dir() / "tests" / "fixtures" / "dev-release-key.pem"; }
std::filesystem::path foreign_key_path() { return source_dir() / "tests" / "fixtures" / "dev-release-key.foreign.pem"; }

} // namespace torvane::test
