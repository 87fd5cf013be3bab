# The window tests sign client executables with the development key.
target_sources(torvane_ui_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp)
target_include_directories(torvane_ui_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update)
target_link_libraries(torvane_ui_tests PRIVATE torvane_publisher)

# Benchmarks of the ui layer: Google Benchmark programs, built with the tests, never run by CTest.
find_package(benchmark REQUIRED)
file(GLOB ui_benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_bench.cpp)
if(ui_benches)
  add_executable(torvane_ui_bench ${ui_benches})
  target_link_libraries(torvane_ui_bench PRIVATE torvane_ui torvane_test_support benchmark::benchmark_main)
endif()
