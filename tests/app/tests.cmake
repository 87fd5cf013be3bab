# The end-to-end tests run the launcher program itself.
add_dependencies(torvane_app_tests torvane)
target_compile_definitions(torvane_app_tests PRIVATE TORVANE_PROGRAM="$<TARGET_FILE:torvane>")

# The client test mode runs against a release service that the tests publish and serve.
target_sources(torvane_app_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update/release_service.cpp
               ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp)
target_include_directories(torvane_app_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update)
target_link_libraries(torvane_app_tests PRIVATE torvane_publisher)

# A launcher start reduced to the single-instance rule, run as a process of its own.
add_executable(torvane_instance_probe ${CMAKE_CURRENT_LIST_DIR}/instance_probe.cpp)
target_link_libraries(torvane_instance_probe PRIVATE torvane_app)
add_dependencies(torvane_app_tests torvane_instance_probe)
target_compile_definitions(torvane_app_tests PRIVATE TORVANE_INSTANCE_PROBE="$<TARGET_FILE:torvane_instance_probe>")
