# Writes the deployment values (TORVANE_SERVICE_ORIGIN, TORVANE_WEB_ORIGIN, TORVANE_GAME_SERVER,
# TORVANE_EXTRA_ROOT_CA, as the caller's scope has them) into a source of their own from
# cmake/build_config.cpp.in. Each lands in a C string literal, so backslashes (Windows paths) and
# quotes are escaped on the way.
function(torvane_write_build_values output)
  foreach(name TORVANE_SERVICE_ORIGIN TORVANE_WEB_ORIGIN TORVANE_GAME_SERVER TORVANE_EXTRA_ROOT_CA)
    string(REPLACE "\\" "\\\\" value "${${name}}")
    string(REPLACE "\"" "\\\"" value "${value}")
    set(${name} "${value}")
  endforeach()
  configure_file(${CMAKE_SOURCE_DIR}/cmake/build_config.cpp.in ${output} @ONLY)
endfunction()
