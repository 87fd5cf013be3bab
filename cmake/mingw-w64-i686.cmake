# Cross-building Torvane.exe, a 32-bit Windows program, with MinGW-w64 (posix threads).
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
#         -DTORVANE_MINGW_PREFIX=$(scripts/windows-prefix)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TORVANE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVANE_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_COMPILER ${TORVANE_MINGW_TRIPLET}-gcc-posix)

# SSE2 arithmetic instead of x87's 80-bit registers, so that float results equal the Linux
# build's; the libraries are built with the same flags (scripts/windows/common.sh, which also
# says why -mstackrealign). The SIMD forms beyond SSE2 are still chosen at run time.
set(TORVANE_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_C_FLAGS_INIT "${TORVANE_MINGW_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${TORVANE_MINGW_ARCH_FLAGS}")
# The whole 4 GiB of address space under 64-bit Windows instead of 2 GiB.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--large-address-aware")

# The libraries cross-built by scripts/setup --windows.
set(TORVANE_MINGW_PREFIX "$ENV{TORVANE_MINGW_PREFIX}" CACHE PATH "The cross-built library prefix")
set(CMAKE_FIND_ROOT_PATH /usr/${TORVANE_MINGW_TRIPLET} ${TORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools discovered at build time run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
