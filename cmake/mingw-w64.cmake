# Cross build for 64-bit Windows with MinGW-w64 (Debian/Ubuntu: g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVELOR_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triplet of the MinGW-w64 tools")

# The "-win32" flavour needs no winpthread DLL; fall back to whatever the plain name points at.
find_program(CMAKE_CXX_COMPILER NAMES ${TAVELOR_MINGW_PREFIX}-g++-win32 ${TAVELOR_MINGW_PREFIX}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TAVELOR_MINGW_PREFIX}-gcc-win32 ${TAVELOR_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${TAVELOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVELOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
