#include "support/temp_dir.hpp"

#include "platform/folder_walk.hpp"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace torvane::test {

TempDir::TempDir()
{
    // A new folder of a random name, open to its owner only (as mkdtemp makes it, on every system).
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "torvane-test-%08x%04x", random(), random() & 0xFFFF);
        std::error_code error;
        if (std::filesystem::create_directory(base / name, error)) {
            path_ = base / name;
            std::filesystem::permissions(path_, std::filesystem::perms::owner_all, error);
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir()
{
    // The launcher's own walk and delete: MinGW's std::filesystem goes through the links that
    // tests plant (and never ends on some).
    // Tests may leave read-only files behind; make them writable so the folder can go.
    platform::walk_folder(path_, [](const platform::WalkEntry& walked) {
        if (walked.entry.kind == platform::FileKind::SymbolicLink)
            return platform::Descend::No;
        std::error_code ignored;
        std::filesystem::permissions(walked.path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        return platform::Descend::Yes;
    });
    (void)platform::remove_tree(path_);
}

std::filesystem::path TempDir::write(const std::filesystem::path& relative, std::string_view bytes) const
{
    std::filesystem::path full = path_ / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

std::string TempDir::read(const std::filesystem::path& relative) const
{
    std::ifstream in(path_ / relative, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::filesystem::path source_dir() { return TORVANE_SOURCE_DIR; }
std::filesystem::path binary_dir() { return TORVANE_BINARY_DIR; }

} // namespace torvane::test
