# What both Windows toolchain files share: MinGW-w64 with posix threads for the host that
# TORVANE_MINGW_TRIPLET names, and the libraries cross-built for it by scripts/setup --windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVANE_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_COMPILER ${TORVANE_MINGW_TRIPLET}-gcc-posix)

set(TORVANE_MINGW_PREFIX "$ENV{TORVANE_MINGW_PREFIX}" CACHE PATH "The cross-built library prefix")
set(CMAKE_FIND_ROOT_PATH /usr/${TORVANE_MINGW_TRIPLET} ${TORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools discovered at build time run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
