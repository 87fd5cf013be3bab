# The Windows launcher's end-to-end runs under Wine, in the Windows build.
#
# build-windows/e2e/Torvane.exe is main.cpp and the same libraries as Torvane.exe, linked with its
# own deployment values: the service at https://localhost:<TORVANE_E2E_PORT> (Wine's chain engine
# matches host names, not addresses, against a certificate's names) and, compiled in as its extra
# root, the test CA of this build folder (build-windows/e2e/test-ca.pem, made when the folder is
# first configured), which issues the certificates of the tests' servers; its key is handed to
# the tests. The tests themselves are the Linux build's torvane_windows_e2e_tests
# (tests/e2e/windows/tests.cmake): nginx, the publisher and the comparisons with the Linux build
# run on Linux, the launcher under Wine. They are listed when ctest runs, from that program.
include(${CMAKE_CURRENT_LIST_DIR}/../loopback_service.cmake)
torvane_choose_e2e_port(build-windows/e2e/Torvane.exe)
set(TORVANE_WINDOWS_E2E_DRIVER "" CACHE FILEPATH
    "The Linux build's e2e/torvane_windows_e2e_tests, which runs build-windows/e2e/Torvane.exe under Wine")

set(torvane_windows_e2e_dir ${CMAKE_BINARY_DIR}/e2e)
torvane_make_test_ca(${torvane_windows_e2e_dir})

torvane_write_e2e_build_values(${CMAKE_BINARY_DIR}/generated/e2e_build_config.cpp localhost)

add_executable(torvane_windows_e2e_launcher WIN32 ${CMAKE_SOURCE_DIR}/src/app/main.cpp
               ${CMAKE_BINARY_DIR}/generated/e2e_build_config.cpp ${CMAKE_SOURCE_DIR}/src/app/windows/torvane.rc)
torvane_embed_extra_roots(torvane_windows_e2e_launcher ${torvane_windows_e2e_dir}/test-ca.pem)
target_include_directories(torvane_windows_e2e_launcher PRIVATE ${CMAKE_SOURCE_DIR}/src/app/windows)
target_link_libraries(torvane_windows_e2e_launcher PRIVATE torvane_app)
set_target_properties(torvane_windows_e2e_launcher PROPERTIES OUTPUT_NAME Torvane
                      RUNTIME_OUTPUT_DIRECTORY ${torvane_windows_e2e_dir})

set(TORVANE_WINDOWS_E2E_LAUNCHER ${torvane_windows_e2e_dir}/Torvane.exe)
set(TORVANE_WINDOWS_E2E_CA ${torvane_windows_e2e_dir}/test-ca.pem)
set(TORVANE_WINDOWS_E2E_CA_KEY ${torvane_windows_e2e_dir}/test-ca.key)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows_e2e_tests.cmake.in
               ${CMAKE_CURRENT_BINARY_DIR}/windows_e2e_tests.cmake @ONLY)
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/windows_e2e_tests.cmake)
