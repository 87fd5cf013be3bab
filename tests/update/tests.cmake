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
