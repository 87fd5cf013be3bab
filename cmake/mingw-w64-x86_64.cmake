# Cross-building Torvane.exe for 64-bit Windows with MinGW-w64 (posix threads).
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DTORVANE_MINGW_PREFIX=$(scripts/windows-prefix)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVANE_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_COMPILER ${TORVANE_MINGW_TRIPLET}-gcc-posix)

# The libraries cross-built by scripts/setup --windows.
set(TORVANE_MINGW_PREFIX "$ENV{TORVANE_MINGW_PREFIX}" CACHE PATH "The cross-built library prefix")
set(CMAKE_FIND_ROOT_PATH /usr/${TORVANE_MINGW_TRIPLET} ${TORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools discovered at build time run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
