# The end-to-end tests run the launcher program itself.
add_dependencies(torvane_app_tests torvane)
target_compile_definitions(torvane_app_tests PRIVATE TORVANE_PROGRAM="$<TARGET_FILE:torvane>")
