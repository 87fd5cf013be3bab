# The tests of the Windows build, run under Wine (scripts/test --windows): the same layer test
# programs as the Linux build's (tests/CMakeLists.txt), less the sources listed here, which do not
# apply to it; tests/<layer>/windows/ holds the Windows build's own cases.

set(torvane_tests_left_out
  # Linux's own fixtures: nginx and Xvfb started in-process, FIFOs and links to /dev/zero planted
  # under a file's name, a TLS server on POSIX sockets.
  support/nginx_server.cpp
  support/xvfb_display.cpp
  support/file_shapes.cpp
  support/raw_tls_server.cpp
  # The agent against in-process servers on POSIX sockets, and the configuration cache and game
  # option lists against planted FIFOs.
  core/http_agent_test.cpp
  core/launcher_config_cache_test.cpp
  core/threads_test.cpp
  # Releases served by nginx, files pinned and planted with Linux calls, the lock holder started
  # with posix_spawn.
  update/asset_workers_test.cpp
  update/client_update_test.cpp
  update/config_fetch_test.cpp
  update/download_workers_test.cpp
  update/file_check_test.cpp
  update/hash_cache_test.cpp
  update/install_folders_test.cpp
  update/install_record_test.cpp
  update/manifest_update_test.cpp
  update/publish_batch_test.cpp
  update/publisher_test.cpp
  update/self_update_test.cpp
  update/signatures_test.cpp
  update/update_lock_test.cpp
  render/glyph_raster_test.cpp
  render/images_test.cpp
  ui/app_state_test.cpp
  ui/window_proc_test.cpp
  app/bench_mode_test.cpp
  app/client_test_mode_test.cpp
  app/instance_activation_test.cpp
  app/manifest_generator_test.cpp
  app/single_instance_test.cpp
  app/tool_message_box_test.cpp
  app/update_test_mode_test.cpp
  game/game_settings_test.cpp
  game/option_lists_test.cpp
  game/server_status_test.cpp
)
torvane_all_layer_tests()

# The release list tests sign their own lists with the release publisher's signer.
target_sources(torvane_update_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/update/release_keys.cpp)
target_include_directories(torvane_update_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/update)
target_link_libraries(torvane_update_tests PRIVATE torvane_publisher)

include(${CMAKE_CURRENT_SOURCE_DIR}/platform/windows/tests.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/platform/windows/window/tests.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/e2e/windows/windows.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/e2e/windows/stand_ins/stand_ins.cmake)
