#include "support/folder_links.hpp"

#include <system_error>

namespace torvane::test {

bool make_folder_link(const std::filesystem::path& target, const std::filesystem::path& link)
{
    std::error_code error;
    std::filesystem::create_directory_symlink(target, link, error);
    return !error;
}

} // namespace torvane::test
