// Process entry: hands the arguments, without the program path, to launcher_main.
#include "app/launcher_main.hpp"
#include "platform/command_line.hpp"
#include "platform/instance_lock.hpp"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments = torvane::platform::command_line_arguments(argc, argv);
    int code = torvane::launcher_main(arguments);
    // The single-instance lock goes last, after every mode.
    torvane::platform::release_instance_mutex();
    return code;
}
