#include "platform/final_path.hpp"

#include "platform/files.hpp"

#include <cstdlib>
#include <memory>

namespace torvane::platform {

Result<std::filesystem::path> final_path(const std::filesystem::path& path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.empty() ? "." : path.c_str(), nullptr),
                                                         &std::free);
    if (!resolved)
        return failure(last_os_error_text());
    return std::filesystem::path(resolved.get());
}

} // namespace torvane::platform
