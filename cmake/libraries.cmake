# The header-only libraries the programs build on: every program's command line on CLI11 (Debian
# libcli11-dev), with the version that --version gives, which is project(VERSION) and nothing
# else; the network of tavelor-probe and tavelor-web on Boost.Asio (libboost-dev).

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

# Asio's own thread pools are never started: one thread runs each program's connections.
add_library(tavelor_asio INTERFACE)
target_compile_definitions(tavelor_asio INTERFACE BOOST_ASIO_NO_DEPRECATED)
if(MINGW)
  if(CMAKE_CXX_COMPILER MATCHES "-win32$")
    message(FATAL_ERROR "Asio needs MinGW's -posix compiler, and this folder was configured with "
                        "${CMAKE_CXX_COMPILER}: configure it anew (cmake --preset mingw --fresh)")
  endif()
  tavelor_mingw_headers(boost libboost-dev)
  target_include_directories(tavelor_asio SYSTEM INTERFACE ${TAVELOR_THIRD_PARTY})
else()
  find_package(Boost 1.74 REQUIRED)
  target_link_libraries(tavelor_asio INTERFACE Boost::headers)
endif()
if(WIN32)
  target_link_libraries(tavelor_asio INTERFACE ws2_32 mswsock)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(tavelor_asio INTERFACE Threads::Threads)
endif()
