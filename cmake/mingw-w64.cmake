# Cross build for 64-bit Windows with MinGW-w64 (Debian/Ubuntu: g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVELOR_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triplet of the MinGW-w64 tools")

# The "-posix" flavour: Asio and Beast (tavelor-web) need its std::mutex and std::thread. Every
# program links the runtimes statically (-static), winpthread too, so none needs a DLL beside it.
# Set, not only cached: a build folder configured with another flavour is configured anew.
find_program(TAVELOR_MINGW_CXX NAMES ${TAVELOR_MINGW_PREFIX}-g++-posix ${TAVELOR_MINGW_PREFIX}-g++ REQUIRED)
find_program(TAVELOR_MINGW_CC NAMES ${TAVELOR_MINGW_PREFIX}-gcc-posix ${TAVELOR_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TAVELOR_MINGW_CXX})
set(CMAKE_C_COMPILER ${TAVELOR_MINGW_CC})
find_program(CMAKE_RC_COMPILER NAMES ${TAVELOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVELOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
