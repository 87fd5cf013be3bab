# The readers under fuzzing, the configuration and manifest readers and the release-list parser:
# a randomised-corpus test of each in every build, and libFuzzer targets when the compiler is clang.
add_executable(torvane_fuzz_tests
  ${CMAKE_CURRENT_LIST_DIR}/config_fuzz.cpp ${CMAKE_CURRENT_LIST_DIR}/config_fuzz_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/release_list_input_check.cpp ${CMAKE_CURRENT_LIST_DIR}/release_list_fuzz_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp)
# The release lists are signed with the release publisher's signer (tests/update/release_keys).
target_include_directories(torvane_fuzz_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update)
target_link_libraries(torvane_fuzz_tests PRIVATE torvane_update torvane_publisher torvane_test_support GTest::gtest_main)
gtest_discover_tests(torvane_fuzz_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  include(${CMAKE_CURRENT_LIST_DIR}/libfuzzer.cmake)

  # torvane_release_list_fuzzer: the release-list parser's harness. The parser's sources are
  # compiled into it so that libFuzzer sees their coverage.
  #   build/torvane_release_list_fuzzer <new-corpus-dir> tests/fuzz/corpus/release_list
  add_executable(torvane_release_list_fuzzer
    ${CMAKE_CURRENT_LIST_DIR}/release_list_fuzzer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/release_list_input_check.cpp
    ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp
    ${CMAKE_SOURCE_DIR}/src/update/release_list.cpp)
  target_include_directories(torvane_release_list_fuzzer PRIVATE ${CMAKE_SOURCE_DIR}/tests/update)
  target_compile_options(torvane_release_list_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(torvane_release_list_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(torvane_release_list_fuzzer PRIVATE torvane_publisher torvane_test_support)
endif()
