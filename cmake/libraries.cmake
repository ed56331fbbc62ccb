# The header-only libraries the programs build on: every program's command line on CLI11 (Debian
# libcli11-dev), with the version that --version gives, which is project(VERSION) and nothing
# else; the network of tavelor-probe and tavelor-web on Boost.Asio, and the recording's checksum
# on Boost.CRC (libboost-dev); the replies' JSON writer on nlohmann-json (nlohmann-json3-dev).

# MinGW has no header-only libraries of its own: a folder of the build takes exactly those it
# needs from the build machine's /usr/include, and nothing else from there (its C library
# headers are Linux's).
set(TAVELOR_THIRD_PARTY ${CMAKE_BINARY_DIR}/third-party)
function(tavelor_mingw_headers folder package)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "The Windows build needs /usr/include/${folder} (Debian: ${package})")
  endif()
  file(MAKE_DIRECTORY ${TAVELOR_THIRD_PARTY})
  file(CREATE_LINK /usr/include/${folder} ${TAVELOR_THIRD_PARTY}/${folder} SYMBOLIC)
endfunction()

configure_file(cmake/program_version.h.in ${CMAKE_BINARY_DIR}/generated/program_version.h @ONLY)
add_library(tavelor_cli STATIC src/cli/command_line.cpp)
target_include_directories(tavelor_cli PUBLIC src PRIVATE ${CMAKE_BINARY_DIR}/generated)
if(MINGW)
  tavelor_mingw_headers(CLI libcli11-dev)
  target_include_directories(tavelor_cli SYSTEM PUBLIC ${TAVELOR_THIRD_PARTY})
else()
  find_package(CLI11 2.1 REQUIRED CONFIG)
  target_link_libraries(tavelor_cli PUBLIC CLI11::CLI11)
endif()

# Boost's header-only libraries: the recording's CRC-32 (Boost.CRC), and the network below.
add_library(tavelor_boost INTERFACE)
if(MINGW)
  tavelor_mingw_headers(boost libboost-dev)
  target_include_directories(tavelor_boost SYSTEM INTERFACE ${TAVELOR_THIRD_PARTY})
else()
  find_package(Boost 1.74 REQUIRED)
  target_link_libraries(tavelor_boost INTERFACE Boost::headers)
endif()

# Asio's own thread pools are never started: one thread runs each program's connections.
add_library(tavelor_asio INTERFACE)
target_compile_definitions(tavelor_asio INTERFACE BOOST_ASIO_NO_DEPRECATED)
target_link_libraries(tavelor_asio INTERFACE tavelor_boost)
if(MINGW AND CMAKE_CXX_COMPILER MATCHES "-win32$")
  message(FATAL_ERROR "Asio needs MinGW's -posix compiler, and this folder was configured with "
                      "${CMAKE_CXX_COMPILER}: configure it anew (cmake --preset mingw --fresh)")
endif()
if(WIN32)
  target_link_libraries(tavelor_asio INTERFACE ws2_32 mswsock)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(tavelor_asio INTERFACE Threads::Threads)
endif()

# nlohmann-json: the one JSON writer of the replies (replies/reply_json.h), linked by the probe
# and tavelor-web.
add_library(tavelor_json INTERFACE)
if(MINGW)
  tavelor_mingw_headers(nlohmann nlohmann-json3-dev)
  target_include_directories(tavelor_json SYSTEM INTERFACE ${TAVELOR_THIRD_PARTY})
else()
  find_package(nlohmann_json 3.10 REQUIRED)
  target_link_libraries(tavelor_json INTERFACE nlohmann_json::nlohmann_json)
endif()
