# The Windows layer's own tests, run under Wine: one program, and the second process that its
# share-mode and update-lock tests start (found beside the test program).
file(GLOB windows_platform_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
# Unix symbolic links made under Wine, as the portable tests make them (tests/support).
add_executable(torvane_platform_windows_tests ${windows_platform_test_sources}
               ${CMAKE_SOURCE_DIR}/tests/support/windows/folder_links.cpp)
target_include_directories(torvane_platform_windows_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(torvane_platform_windows_tests PRIVATE torvane_platform GTest::gtest GTest::gtest_main)
target_compile_definitions(torvane_platform_windows_tests PRIVATE TORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
# The key and signature fixtures also lie beside the program, for runs from a drive that does not
# lead to the source folder.
foreach(fixture dev-release-key.blob dev-release-key.sample.sig)
  configure_file(${CMAKE_SOURCE_DIR}/tests/fixtures/${fixture} ${CMAKE_BINARY_DIR}/${fixture} COPYONLY)
endforeach()

# wmain takes the probe's file names as UTF-16.
add_executable(torvane_share_probe ${CMAKE_CURRENT_LIST_DIR}/share_probe.cpp)
target_link_libraries(torvane_share_probe PRIVATE torvane_platform)
target_link_options(torvane_share_probe PRIVATE -municode)
add_dependencies(torvane_platform_windows_tests torvane_share_probe)

# One CTest test for the program: listing its cases would start Wine once more at configure time.
# The cross-compiling emulator (wine) runs it.
add_test(NAME torvane_platform_windows_tests COMMAND torvane_platform_windows_tests)
set_tests_properties(torvane_platform_windows_tests PROPERTIES TIMEOUT 300)
