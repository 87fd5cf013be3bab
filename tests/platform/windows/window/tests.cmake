# The Windows window host, instance mutex, desktop windows, program starts and resources, tested in one
# program under Wine on a private X server (run_under_wine.sh). For the Windows build only: it
# links torvane_platform built from src/platform/windows/ and GoogleTest built for MinGW-w64.
file(GLOB torvane_windows_window_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(torvane_platform_windows_window_tests ${torvane_windows_window_test_sources}
               ${CMAKE_CURRENT_LIST_DIR}/test_resources.rc)
# The resource script takes the launcher's manifest and icon from beside torvane.rc.
target_include_directories(torvane_platform_windows_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                           ${CMAKE_SOURCE_DIR}/src/app/windows)
target_link_libraries(torvane_platform_windows_window_tests PRIVATE torvane_platform torvane_test_support GTest::gtest
                      user32 gdi32 shell32 ole32 version)
target_link_options(torvane_platform_windows_window_tests PRIVATE -static)

set(torvane_windows_window_runner ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh)
set(torvane_windows_screenshots ${CMAKE_BINARY_DIR}/screenshots/windows-window)
# Each run makes a Wine prefix of its own (WINEPREFIX emptied): it sets that prefix's DPI and ends
# its Wine processes when done, which in the shared prefix would take the unit tests running beside
# it down with them. One run at a time: each starts its own X server and Wine desktop.
add_test(NAME torvane_platform_windows_window_tests
         COMMAND sh ${torvane_windows_window_runner} $<TARGET_FILE:torvane_platform_windows_window_tests>)
set_tests_properties(torvane_platform_windows_window_tests PROPERTIES TIMEOUT 600 RESOURCE_LOCK torvane_wine_prefix
                     ENVIRONMENT "WINEPREFIX=;TORVANE_SCREENSHOT_DIR=${torvane_windows_screenshots};TORVANE_TEST_DPI=96")
# The same window on a 192-dpi desktop (Wine's LogPixels): twice the size, still centred.
add_test(NAME torvane_platform_windows_window_tests_192dpi
         COMMAND sh ${torvane_windows_window_runner} $<TARGET_FILE:torvane_platform_windows_window_tests>
                 --gtest_filter=WindowHostTest.DisplayScale*:WindowHostTest.TheBackBuffer*)
set_tests_properties(torvane_platform_windows_window_tests_192dpi PROPERTIES TIMEOUT 600 RESOURCE_LOCK torvane_wine_prefix
                     ENVIRONMENT "WINEPREFIX=;TORVANE_SCREENSHOT_DIR=${torvane_windows_screenshots}/192dpi;TORVANE_TEST_DPI=192;TORVANE_TEST_SCREEN=2560x1600")
# Where no desktop can be reached (no X server at all): the window is refused with its reason and
# boxes print their text.
add_test(NAME torvane_platform_windows_window_tests_no_display
         COMMAND sh ${torvane_windows_window_runner} $<TARGET_FILE:torvane_platform_windows_window_tests>
                 --gtest_filter=WindowHostWithoutDisplayTest.*)
set_tests_properties(torvane_platform_windows_window_tests_no_display PROPERTIES TIMEOUT 600 RESOURCE_LOCK torvane_wine_prefix
                     ENVIRONMENT "WINEPREFIX=;TORVANE_TEST_NO_DISPLAY=1")
