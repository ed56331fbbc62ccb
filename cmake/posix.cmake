# Linux shells: link transport, event loop and listener, log sink, the stand-in's socket side.
file(GLOB TAVELOR_POSIX_SOURCES CONFIGURE_DEPENDS
  src/simlink/posix/*.cpp src/server/posix/*.cpp src/app/posix/*.cpp)
list(FILTER TAVELOR_POSIX_SOURCES EXCLUDE REGEX ".*/main\\.cpp$")
file(GLOB TAVELOR_SIM_POSIX_SOURCES CONFIGURE_DEPENDS src/sim/posix/*.cpp)
list(FILTER TAVELOR_SIM_POSIX_SOURCES EXCLUDE REGEX ".*/main\\.cpp$")

find_package(Threads REQUIRED)

# The core's one platform operation that every program needs, the fuzz targets too: opening the
# flight plan file without following a link.
target_sources(tavelor_core PRIVATE src/commands/posix/plan_file.cpp)

add_library(tavelor_sim_posix STATIC ${TAVELOR_SIM_POSIX_SOURCES})
target_link_libraries(tavelor_sim_posix PUBLIC tavelor_sim_core Threads::Threads)
if(NOT APPLE)
  target_link_libraries(tavelor_sim_posix PUBLIC rt)
endif()

add_library(tavelor_posix STATIC ${TAVELOR_POSIX_SOURCES})
target_link_libraries(tavelor_posix PUBLIC tavelor_core tavelor_sim_posix Threads::Threads)

add_executable(tavelor-server src/app/posix/main.cpp)
target_link_libraries(tavelor-server PRIVATE tavelor_posix)

add_executable(tavelor-sim src/sim/posix/main.cpp)
target_link_libraries(tavelor-sim PRIVATE tavelor_sim_posix)

# A panel author's command-line client: one request, its answer as labelled fields.
add_executable(tavelor-probe src/probe/posix/main.cpp src/probe/net/asio_platform.cpp)
target_link_libraries(tavelor-probe PRIVATE tavelor_probe_core tavelor_asio)
