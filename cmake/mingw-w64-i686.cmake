# Torvane.exe, the Windows program players get: a 32-bit program, cross-built with MinGW-w64.
#   scripts/configure windows build-windows
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TORVANE_MINGW_TRIPLET i686-w64-mingw32)

# SSE2 arithmetic instead of x87's 80-bit registers, so that float results equal the Linux
# build's; the libraries are built with the same flags (scripts/windows/common.sh, which also
# says why -mstackrealign). The SIMD forms beyond SSE2 are still chosen at run time.
set(TORVANE_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_C_FLAGS_INIT "${TORVANE_MINGW_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${TORVANE_MINGW_ARCH_FLAGS}")
# The whole 4 GiB of address space under 64-bit Windows instead of 2 GiB.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--large-address-aware")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
