# The check phase's benchmark: a program that reports figures, not a test (CTest does not run it).
add_executable(torvane_file_check_bench ${CMAKE_CURRENT_LIST_DIR}/file_check_bench.cpp)
target_link_libraries(torvane_file_check_bench PRIVATE torvane_update)
