# End-to-end runs of the launcher executable against nginx on loopback.
#
# The launcher under test is build/e2e/torvane: main.cpp and the same libraries as build/torvane,
# linked with its own deployment values (cmake/build_config.cpp.in): the service at
# https://127.0.0.1:<TORVANE_E2E_PORT> and, compiled in as its extra trusted root, the test CA of
# this build folder (build/e2e/test-ca.pem, made when the folder is first configured), which
# issues every test server's certificate. Nothing else is compiled twice, and the shipped
# executable trusts no test CA and reads no address from its surroundings.
include(${CMAKE_CURRENT_LIST_DIR}/loopback_service.cmake)
torvane_choose_e2e_port(build/e2e/torvane)

set(torvane_e2e_dir ${CMAKE_BINARY_DIR}/e2e)
torvane_make_test_ca(${torvane_e2e_dir})

torvane_write_e2e_build_values(${CMAKE_BINARY_DIR}/generated/e2e_build_config.cpp 127.0.0.1)

add_executable(torvane_e2e_launcher ${CMAKE_SOURCE_DIR}/src/app/main.cpp
               ${CMAKE_BINARY_DIR}/generated/e2e_build_config.cpp)
torvane_embed_extra_roots(torvane_e2e_launcher ${torvane_e2e_dir}/test-ca.pem)
target_link_libraries(torvane_e2e_launcher PRIVATE torvane_app)
set_target_properties(torvane_e2e_launcher PROPERTIES OUTPUT_NAME torvane RUNTIME_OUTPUT_DIRECTORY ${torvane_e2e_dir})

file(GLOB torvane_e2e_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(torvane_e2e_tests ${torvane_e2e_sources} ${CMAKE_SOURCE_DIR}/tests/update/release_service.cpp
               ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp)
target_include_directories(torvane_e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update)
target_link_libraries(torvane_e2e_tests PRIVATE torvane_app torvane_publisher torvane_test_support GTest::gtest_main)
add_dependencies(torvane_e2e_tests torvane_e2e_launcher)
target_compile_definitions(torvane_e2e_tests PRIVATE
  TORVANE_E2E_PORT=${TORVANE_E2E_PORT}
  TORVANE_E2E_LAUNCHER="$<TARGET_FILE:torvane_e2e_launcher>"
  TORVANE_E2E_CA="${torvane_e2e_dir}/test-ca.pem" TORVANE_E2E_CA_KEY="${torvane_e2e_dir}/test-ca.key")
# Every test here serves on the one fixed port.
gtest_discover_tests(torvane_e2e_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES TIMEOUT 600 RESOURCE_LOCK torvane_e2e_service)

# The window benchmark (not a test): start time, processor use and memory of the real window.
add_executable(torvane_window_bench ${CMAKE_CURRENT_LIST_DIR}/window_bench.cpp)
target_link_libraries(torvane_window_bench PRIVATE torvane_test_support)
add_dependencies(torvane_window_bench torvane_e2e_launcher)
target_compile_definitions(torvane_window_bench PRIVATE TORVANE_E2E_LAUNCHER="$<TARGET_FILE:torvane_e2e_launcher>")
include(${CMAKE_CURRENT_LIST_DIR}/windows/tests.cmake)
