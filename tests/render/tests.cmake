# Benchmarks of the render layer: Google Benchmark programs, built with the tests, never run by CTest.
find_package(benchmark REQUIRED)
file(GLOB render_benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_bench.cpp)
if(render_benches)
  add_executable(torvane_render_bench ${render_benches})
  target_link_libraries(torvane_render_bench PRIVATE torvane_render benchmark::benchmark_main)
endif()
