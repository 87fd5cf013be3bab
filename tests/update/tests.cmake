# The update tests sign and publish their own releases with the release publisher.
target_sources(torvane_update_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/release_keys.cpp)
target_include_directories(torvane_update_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(torvane_update_tests PRIVATE torvane_publisher)

# A second process that holds the update lock.
add_executable(torvane_update_lock_holder ${CMAKE_CURRENT_LIST_DIR}/lock_holder.cpp)
target_link_libraries(torvane_update_lock_holder PRIVATE torvane_update)
add_dependencies(torvane_update_tests torvane_update_lock_holder torvane-publish)
target_compile_definitions(torvane_update_tests PRIVATE
  TORVANE_LOCK_HOLDER="$<TARGET_FILE:torvane_update_lock_holder>"
  TORVANE_PUBLISH="$<TARGET_FILE:torvane-publish>")

# Benchmark (not a test): parsing and verifying a 30,000-entry release list.
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(torvane_release_list_benchmark
    ${CMAKE_CURRENT_LIST_DIR}/release_list_benchmark.cpp ${CMAKE_CURRENT_LIST_DIR}/release_keys.cpp)
  target_include_directories(torvane_release_list_benchmark PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(torvane_release_list_benchmark PRIVATE torvane_publisher torvane_test_support benchmark::benchmark)
endif()

# The check phase's benchmark: a program that reports figures, not a test (CTest does not run it).
add_executable(torvane_file_check_bench ${CMAKE_CURRENT_LIST_DIR}/file_check_bench.cpp)
target_link_libraries(torvane_file_check_bench PRIVATE torvane_update)

# The managed update's tests serve published releases with nginx.
target_sources(torvane_update_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/release_service.cpp)

# Benchmark (not a test): the managed update of a 1 GiB release from nginx, next to curl.
add_executable(torvane_managed_update_benchmark ${CMAKE_CURRENT_LIST_DIR}/managed_update_benchmark.cpp
               ${CMAKE_CURRENT_LIST_DIR}/release_service.cpp ${CMAKE_CURRENT_LIST_DIR}/release_keys.cpp)
target_include_directories(torvane_managed_update_benchmark PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(torvane_managed_update_benchmark PRIVATE torvane_update torvane_publisher torvane_test_support)
