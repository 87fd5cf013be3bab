# The 64-bit twin of Torvane.exe, from the same sources: what the tests run under Wine, because
# the kernels they run on here cannot start 32-bit programs (scripts/test-windows).
#   scripts/configure windows-x64 build-windows-x64
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TORVANE_MINGW_TRIPLET x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
