# Windows programs that the window's end-to-end runs under Wine, beside the loopback Torvane.exe
# where the Linux-side driver finds them: the game's Main.exe stand-in records where and how it was
# started (build-windows/e2e/recording-main.exe, placed in a game folder); the window probe says
# whether the launcher's window is enabled and in front (build-windows/e2e/window-probe.exe).
add_executable(torvane_windows_e2e_recording_main WIN32 ${CMAKE_CURRENT_LIST_DIR}/recording_main.cpp)
target_link_libraries(torvane_windows_e2e_recording_main PRIVATE shell32)
target_link_options(torvane_windows_e2e_recording_main PRIVATE -static -municode -s)
set_target_properties(torvane_windows_e2e_recording_main PROPERTIES OUTPUT_NAME recording-main
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)

add_executable(torvane_windows_e2e_window_probe ${CMAKE_CURRENT_LIST_DIR}/window_probe.cpp)
target_link_libraries(torvane_windows_e2e_window_probe PRIVATE user32)
target_link_options(torvane_windows_e2e_window_probe PRIVATE -static -municode -s)
set_target_properties(torvane_windows_e2e_window_probe PROPERTIES OUTPUT_NAME window-probe
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
