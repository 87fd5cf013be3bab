# The Linux-side driver of the Windows launcher's end-to-end runs under Wine.
#
# It reuses the Linux fixtures (nginx, the release publisher, the sample client) and runs
# build-windows/e2e/Torvane.exe with wine. The Linux build only builds it: its tests are listed and
# run by the Windows build's test list (tests/e2e/windows/windows.cmake, scripts/test --windows),
# which names the Windows launcher to run, so a Linux test run neither lists nor skips them.
file(GLOB torvane_windows_e2e_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(torvane_windows_e2e_tests ${torvane_windows_e2e_sources}
               ${CMAKE_SOURCE_DIR}/tests/update/release_service.cpp ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp)
target_include_directories(torvane_windows_e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(torvane_windows_e2e_tests PRIVATE torvane_app torvane_publisher torvane_test_support GTest::gtest_main)
# The Linux launcher of the same sources, for the results both builds must share.
add_dependencies(torvane_windows_e2e_tests torvane_e2e_launcher)
target_compile_definitions(torvane_windows_e2e_tests PRIVATE TORVANE_E2E_LAUNCHER="$<TARGET_FILE:torvane_e2e_launcher>")
set_target_properties(torvane_windows_e2e_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
