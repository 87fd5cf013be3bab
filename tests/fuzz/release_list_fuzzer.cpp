// libFuzzer harness of the release-list parser: build with clang, then
//   build/torvane_release_list_fuzzer <new-corpus-dir> tests/fuzz/corpus/release_list
#include "fuzz/release_list_input_check.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string problem =
        torvane::test::check_release_list_input(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!problem.empty()) {
        std::fprintf(stderr, "release list property broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
