# The end-to-end tests run the launcher program itself.
add_dependencies(torvane_app_tests torvane)
target_compile_definitions(torvane_app_tests PRIVATE TORVANE_PROGRAM="$<TARGET_FILE:torvane>")

# The client test mode runs against a release service that the tests publish and serve.
target_sources(torvane_app_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update/release_service.cpp
               ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp)
target_include_directories(torvane_app_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update)
target_link_libraries(torvane_app_tests PRIVATE torvane_publisher)
