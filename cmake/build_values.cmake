# Writes the deployment values (TORVANE_SERVICE_ORIGIN, TORVANE_WEB_ORIGIN, TORVANE_GAME_SERVER, as
# the caller's scope has them) into a source of their own from cmake/build_config.cpp.in. Each
# lands in a C string literal, so backslashes and quotes are escaped on the way.
function(torvane_write_build_values output)
  foreach(name TORVANE_SERVICE_ORIGIN TORVANE_WEB_ORIGIN TORVANE_GAME_SERVER)
    string(REPLACE "\\" "\\\\" value "${${name}}")
    string(REPLACE "\"" "\\\"" value "${value}")
    set(${name} "${value}")
  endforeach()
  configure_file(${CMAKE_SOURCE_DIR}/cmake/build_config.cpp.in ${output} @ONLY)
endfunction()

# torvane_embed_extra_roots(<target> <PEM file>): compiles the roots that a build trusts besides
# the system's into <target>, as build::extra_root_ca_pem() reads them; an empty file name
# compiles in none. The file is read on the build machine only: the program never looks for it.
function(torvane_embed_extra_roots target pem)
  if(pem STREQUAL "")
    set(pem "${CMAKE_BINARY_DIR}/generated/no-extra-roots.pem")
    if(NOT EXISTS "${pem}")
      file(WRITE "${pem}" "")
    endif()
  else()
    if(NOT EXISTS "${pem}")
      message(FATAL_ERROR "TORVANE_EXTRA_ROOT_CA: ${pem} does not exist")
    endif()
    file(READ "${pem}" text)
    if(NOT text MATCHES "-----BEGIN CERTIFICATE-----")
      message(FATAL_ERROR "TORVANE_EXTRA_ROOT_CA: ${pem} holds no PEM certificate")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
  endif()
  torvane_embed(${target} torvane_extra_root_ca_pem "${pem}")
endfunction()
