# The client test mode runs against a release service that the tests publish and serve.
target_sources(torvane_app_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update/release_service.cpp
               ${CMAKE_SOURCE_DIR}/tests/update/release_keys.cpp)
target_include_directories(torvane_app_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/update)
target_link_libraries(torvane_app_tests PRIVATE torvane_publisher)
