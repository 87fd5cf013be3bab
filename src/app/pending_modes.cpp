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

int generate_manifest(const fs::path&, const fs::path&, bool) { return not_available("o modo --gerar-manifesto"); }

int run_update_test(const fs::path&, bool) { return not_available("o modo --testar-atualizacao"); }

int run_bench(const fs::path&, const fs::path&, float) { return not_available("o modo --bench"); }

int run_capture(const fs::path&, const fs::path&, float, bool, const std::optional<fs::path>&)
{
    return not_available("o modo --captura");
}

int run_window(const fs::path&, bool) { return not_available("a janela do launcher"); }

} // namespace torvane
