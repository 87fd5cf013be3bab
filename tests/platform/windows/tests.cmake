# What the platform layer's tests need in the Windows build, besides tests/platform/windows/*.cpp:
# the second process that the share-mode, update-lock and message-box cases start, found beside
# the test program, and the key and signature fixtures beside it too, for runs from a drive that
# does not lead to the source folder.
foreach(fixture dev-release-key.blob dev-release-key.sample.sig)
  configure_file(${CMAKE_SOURCE_DIR}/tests/fixtures/${fixture} ${CMAKE_BINARY_DIR}/${fixture} COPYONLY)
endforeach()

# wmain takes the probe's file names as UTF-16.
add_executable(torvane_share_probe ${CMAKE_CURRENT_LIST_DIR}/share_probe/share_probe.cpp)
target_link_libraries(torvane_share_probe PRIVATE torvane_platform)
target_link_options(torvane_share_probe PRIVATE -municode)
add_dependencies(torvane_platform_tests torvane_share_probe)
