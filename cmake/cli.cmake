# Every program's command line: CLI11 (header-only; Debian libcli11-dev) and the version that
# --version gives, which is project(VERSION) and nothing else.

# MinGW has no header-only libraries of its own: a folder of the build takes exactly those it
# needs from the build machine's /usr/include, and nothing else from there (its C library
# headers are Linux's). tavelor-web's Boost and nlohmann-json come the same way.
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
