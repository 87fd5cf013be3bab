# The configuration and manifest readers under fuzzing: a randomised-corpus test in every build,
# and a libFuzzer target when the compiler is clang.
add_executable(torvane_fuzz_tests ${CMAKE_CURRENT_LIST_DIR}/config_fuzz.cpp ${CMAKE_CURRENT_LIST_DIR}/config_fuzz_test.cpp)
target_link_libraries(torvane_fuzz_tests PRIVATE torvane_core torvane_test_support GTest::gtest_main)
gtest_discover_tests(torvane_fuzz_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  include(${CMAKE_CURRENT_LIST_DIR}/libfuzzer.cmake)
endif()
