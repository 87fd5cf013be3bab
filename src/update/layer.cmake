# The public half of the release key: a 276-byte public-key blob linked into the update layer.
# A deployment points TORVANE_RELEASE_KEY_BLOB at its own blob (see the README).
if(NOT EXISTS "${TORVANE_RELEASE_KEY_BLOB}")
  message(FATAL_ERROR "TORVANE_RELEASE_KEY_BLOB: ${TORVANE_RELEASE_KEY_BLOB} does not exist")
endif()
file(SIZE "${TORVANE_RELEASE_KEY_BLOB}" torvane_release_key_blob_size)
if(NOT torvane_release_key_blob_size EQUAL 276)
  message(FATAL_ERROR "TORVANE_RELEASE_KEY_BLOB: ${TORVANE_RELEASE_KEY_BLOB} has ${torvane_release_key_blob_size} bytes; a release key blob has 276")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${TORVANE_RELEASE_KEY_BLOB}")
torvane_embed(torvane_update torvane_release_key_blob "${TORVANE_RELEASE_KEY_BLOB}")
