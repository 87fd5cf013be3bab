// Modes that this build does not have yet: each says so on standard error and fails.
#include "app/modes.hpp"

#include <cstdio>

namespace torvane {

namespace {

int not_available(const char* what)
{
    std::fprintf(stderr, "torvane: %s ainda não está disponível nesta versão\n", what);
    return 1;
}

} // namespace

int run_window(const fs::path&, bool) { return not_available("a janela do launcher"); }

} // namespace torvane
