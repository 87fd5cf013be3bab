# A separate program that reads the game settings, for the test that reads them back in a new process.
add_executable(torvane_settings_reader ${CMAKE_CURRENT_LIST_DIR}/settings_reader.cpp)
target_link_libraries(torvane_settings_reader PRIVATE torvane_game)
add_dependencies(torvane_game_tests torvane_settings_reader)
target_compile_definitions(torvane_game_tests PRIVATE
  TORVANE_SETTINGS_READER="$<TARGET_FILE:torvane_settings_reader>")
