# The window tests sign client executables with the development key.
target_sources(torvane_ui_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp)
target_include_directories(torvane_ui_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update)
target_link_libraries(torvane_ui_tests PRIVATE torvane_publisher)
