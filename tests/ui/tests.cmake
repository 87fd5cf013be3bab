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

# With a Windows cross compiler and wine at hand, the game start is also tried with real Windows
# programs: a verified client and an impostor, built for Windows from one source.
find_program(TORVANE_MINGW_CXX x86_64-w64-mingw32-g++)
find_program(TORVANE_WINE wine)
if(TORVANE_MINGW_CXX AND TORVANE_WINE)
  set(wine_clients_dir ${CMAKE_BINARY_DIR}/wine-clients)
  set(wine_clients)
  foreach(client verificado impostor)
    add_custom_command(OUTPUT ${wine_clients_dir}/${client}.exe
      COMMAND ${CMAKE_COMMAND} -E make_directory ${wine_clients_dir}
      COMMAND ${TORVANE_MINGW_CXX} -O1 -static -DCLIENT_NAME="${client}" ${CMAKE_CURRENT_LIST_DIR}/wine_client.cpp
              -o ${wine_clients_dir}/${client}.exe
      DEPENDS ${CMAKE_CURRENT_LIST_DIR}/wine_client.cpp VERBATIM)
    list(APPEND wine_clients ${wine_clients_dir}/${client}.exe)
  endforeach()
  add_custom_target(torvane_wine_clients DEPENDS ${wine_clients})
  add_dependencies(torvane_ui_tests torvane_wine_clients)
  target_compile_definitions(torvane_ui_tests PRIVATE TORVANE_WINE_CLIENTS="${wine_clients_dir}")
endif()
