# Windows shells: the server's window and listener, the link's Win32 transport, the stand-in
# simulator's window, and the small inspector the Wine tests drive the window with.
# Builds with MinGW-w64 (the "mingw" preset) and with MSVC (see the README's Windows section).

set(TAVELOR_WIN32_DEFINITIONS WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
if(MSVC)
  list(APPEND TAVELOR_WIN32_DEFINITIONS _CRT_SECURE_NO_WARNINGS _WINSOCK_DEPRECATED_NO_WARNINGS)
  add_compile_options(/permissive- /utf-8)
  # One .exe that runs on a bare Windows: the C and C++ runtime linked in.
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  foreach(target tavelor_core tavelor_sim_core tavelor_probe_core tavelor_reply_schema tavelor_request_parse tavelor_cli
                 tavelor_recording)
    set_property(TARGET ${target} PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    target_compile_options(${target} PRIVATE /permissive- /utf-8)
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
  endforeach()
endif()

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 warns wrongly about std::string concatenation at -O2 (its bug 105329).
  foreach(target tavelor_core tavelor_sim_core tavelor_probe_core tavelor_reply_schema tavelor_request_parse tavelor_cli
                 tavelor_recording)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endforeach()
  add_compile_options(-Wno-restrict)
endif()

# The core's one platform operation: opening the flight plan file, refusing a reparse point.
target_sources(tavelor_core PRIVATE src/commands/win32/plan_file.cpp)
set_source_files_properties(src/commands/win32/plan_file.cpp PROPERTIES
  COMPILE_DEFINITIONS "${TAVELOR_WIN32_DEFINITIONS}")

# The recording's one platform operation: creating its file, never through a link.
target_sources(tavelor_recording PRIVATE src/recording/win32/new_file.cpp)
set_source_files_properties(src/recording/win32/new_file.cpp PROPERTIES
  COMPILE_DEFINITIONS "${TAVELOR_WIN32_DEFINITIONS}")

function(tavelor_windows_program target)
  target_compile_definitions(${target} PRIVATE ${TAVELOR_WIN32_DEFINITIONS})
  if(MINGW)
    # Runs on a bare Windows: no libgcc, libstdc++ or winpthread DLL beside it.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

file(GLOB TAVELOR_WIN32_SERVER_SOURCES CONFIGURE_DEPENDS
  src/app/win32/*.cpp src/server/win32/*.cpp src/simlink/win32/*.cpp)
add_executable(TavelorServer WIN32 ${TAVELOR_WIN32_SERVER_SOURCES})
target_link_libraries(TavelorServer PRIVATE tavelor_core ws2_32 user32 gdi32 kernel32)
tavelor_windows_program(TavelorServer)

# A console program: it prints its control port, and Ctrl+C stops it.
file(GLOB TAVELOR_WIN32_SIM_SOURCES CONFIGURE_DEPENDS src/sim/win32/*.cpp)
add_executable(tavelor-sim ${TAVELOR_WIN32_SIM_SOURCES})
target_link_libraries(tavelor-sim PRIVATE tavelor_sim_core ws2_32 user32 gdi32 kernel32)
tavelor_windows_program(tavelor-sim)

# A panel author's command-line client: one request, its answer as labelled fields.
add_executable(tavelor-probe src/probe/win32/main.cpp src/probe/net/asio_platform.cpp)
target_link_libraries(tavelor-probe PRIVATE tavelor_probe_core tavelor_asio kernel32)
tavelor_windows_program(tavelor-probe)

# The Start menu's shortcut to the server with its browser panels (the installer's, in packaging/).
add_executable(tavelor-launch WIN32 packaging/windows/launch.cpp)
target_link_libraries(tavelor-launch PRIVATE tavelor_cli ws2_32 user32 kernel32)
tavelor_windows_program(tavelor-launch)

option(TAVELOR_WINE_HELPERS "Build win_inspect.exe and hostile_sim.exe, the helpers of the Wine tests" ON)
if(TAVELOR_WINE_HELPERS)
  add_executable(win_inspect tests/wine/win_inspect.cpp)
  target_link_libraries(win_inspect PRIVATE user32 kernel32)
  tavelor_windows_program(win_inspect)
  # A simulator that answers every exchange with harm.
  add_executable(hostile_sim tests/wine/hostile_sim.cpp)
  target_include_directories(hostile_sim PRIVATE src)
  target_link_libraries(hostile_sim PRIVATE user32 kernel32)
  tavelor_windows_program(hostile_sim)
endif()
