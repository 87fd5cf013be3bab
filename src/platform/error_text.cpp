#include "platform/files.hpp"

namespace torvane::platform {

std::string error_code_text(const std::error_code& error)
{
    if (error.category() == std::generic_category())
        return c_library_error_text(error.value());
    if (error.category() == std::system_category())
        return os_error_text(error.value());
    return error.message() + " (os error " + std::to_string(error.value()) + ")";
}

} // namespace torvane::platform
