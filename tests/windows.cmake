# The tests of the Windows build, run under Wine (scripts/test --windows). The portable tests of
# every layer run as they do on Linux; tests about Linux itself (descriptors, fork, X11, nginx
# started in-process) stay with the Linux build, and tests/platform/windows/ holds the Windows
# layer's own tests.
find_package(GTest REQUIRED)
include(GoogleTest)

# cpp-httplib, cross-built with its TLS, for the in-process HTTPS server of the agent's tests.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/support/sample_client.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/tls_test_server.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/support/windows/folder_links.cpp)
add_library(torvane_test_support STATIC ${support_sources})
target_include_directories(torvane_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(torvane_test_support PUBLIC torvane_core GTest::gtest PkgConfig::HTTPLIB OpenSSL::SSL OpenSSL::Crypto)
target_compile_definitions(torvane_test_support PUBLIC
  TORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TORVANE_BINARY_DIR="${CMAKE_BINARY_DIR}")

set(torvane_windows_tests
  core     "config_json,http_agent_trust,json_text,receive_rate,service_endpoints,ui_message,update_manifest,util"
  update   "asset_index,digest,release_list,sha256,sizes,path_safety"
  render   "blur,color,compositing,font,icons,path,picture,primitives_picture,shapes,shaping,window_icons"
  ui       "backdrop,countdown,frame,layout,main_screen,motion,settings_dialog,settings_overlay,stage,ui_state,widgets"
  app      "launch_mode,capture_mode"
)
set(torvane_test_library_core torvane_core)
set(torvane_test_library_update torvane_update)
set(torvane_test_library_render torvane_render)
set(torvane_test_library_ui torvane_ui)
set(torvane_test_library_app torvane_app)

while(torvane_windows_tests)
  list(POP_FRONT torvane_windows_tests layer names)
  string(REPLACE "," ";" names "${names}")
  set(sources "")
  foreach(name ${names})
    list(APPEND sources ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/${name}_test.cpp)
  endforeach()
  add_executable(torvane_${layer}_tests ${sources})
  target_link_libraries(torvane_${layer}_tests PRIVATE ${torvane_test_library_${layer}} torvane_test_support
                        GTest::gmock GTest::gtest_main)
  # Discovery runs the program, under Wine: at test time, when the Wine prefix exists.
  gtest_discover_tests(torvane_${layer}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 300)
endwhile()

# The agent against Windows' own root store, which only the Windows build has.
target_sources(torvane_core_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/core/windows/root_store_trust_test.cpp)

# The release list tests sign their own lists with the release publisher's signer.
target_sources(torvane_update_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/update/release_keys.cpp)
target_include_directories(torvane_update_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/update)
target_link_libraries(torvane_update_tests PRIVATE torvane_publisher)

include(${CMAKE_CURRENT_SOURCE_DIR}/platform/windows/tests.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/platform/windows/window/tests.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/e2e/windows/windows.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/e2e/windows/stand_ins/stand_ins.cmake)
