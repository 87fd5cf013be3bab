# torvane_config_fuzz: the libFuzzer target (clang only). The readers are compiled into it with
# coverage instrumentation rather than linked from torvane_core, so the fuzzer sees their branches.
#   build/torvane_config_fuzz -dict=tests/fuzz/config.dict -max_total_time=300 <new-corpus-dir> tests/fuzz/corpus/config
get_filename_component(torvane_fuzz_root ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
add_executable(torvane_config_fuzz
  ${CMAKE_CURRENT_LIST_DIR}/config_fuzz.cpp
  ${torvane_fuzz_root}/src/core/config_json.cpp
  ${torvane_fuzz_root}/src/core/json_reader.cpp
  ${torvane_fuzz_root}/src/core/json_text.cpp
  ${torvane_fuzz_root}/src/core/json_writer.cpp
  ${torvane_fuzz_root}/src/core/update_manifest.cpp)
target_include_directories(torvane_config_fuzz PRIVATE ${torvane_fuzz_root}/src)
target_compile_options(torvane_config_fuzz PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -g)
target_link_options(torvane_config_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

# Clang before 16 cannot use libstdc++ 12's <expected>; give it the small stand-in.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <expected>\nstd::expected<int, int> e;\nint main() { return *e; }"
  TORVANE_HAS_STD_EXPECTED)
if(NOT TORVANE_HAS_STD_EXPECTED)
  target_include_directories(torvane_config_fuzz BEFORE PRIVATE ${CMAKE_CURRENT_LIST_DIR}/compat)
endif()
