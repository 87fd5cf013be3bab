# No layer includes a layer above it (the libraries' link order only catches calls, not headers).
add_test(NAME layers_include_only_lower_layers
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/src -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
