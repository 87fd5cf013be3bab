// A folder under the system's temporary folder that lives as long as the test that made it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace torvane::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file below the folder, creating its parent folders.
    std::filesystem::path write(const std::filesystem::path& relative, std::string_view bytes) const;
    std::string read(const std::filesystem::path& relative) const;

private:
    std::filesystem::path path_;
};

// Whether the file system follows Linux's rules (case-sensitive names, "/" as the root, symbolic
// links for anyone, strerror texts): false in the Windows build's run under Wine.
inline bool posix_file_system() { return std::filesystem::path::preferred_separator == '/'; }
// Whether any user's test can make symbolic links (Linux); Windows asks for a privilege, and Wine
// reports success and makes none.
inline bool symbolic_links_for_anyone() { return posix_file_system(); }

// The project's source folder and the build folder, for fixtures and built programs.
std::filesystem::path source_dir();
std::filesystem::path binary_dir();

} // namespace torvane::test
