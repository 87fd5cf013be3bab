#include "platform/command_line.hpp"

namespace torvane::platform {

std::vector<std::string> command_line_arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

} // namespace torvane::platform
