#include "app/launcher_main.hpp"

#include <cstdio>

namespace torvane {

int launcher_main(const std::vector<std::string>&)
{
    std::fprintf(stderr, "torvane: modo ainda não disponível nesta versão\n");
    return 1;
}

void release_instance_mutex() {}

} // namespace torvane
