# tavelor-web: live instruments in a browser, a client of the panel port. HTTP and WebSocket come
# from Boost.Beast on Boost.Asio, JSON from nlohmann-json through the replies' JSON writer; all
# three are header-only (cmake/libraries.cmake).

# The pages, built into the program.
file(GLOB TAVELOR_WEB_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/web/pages/*)
# The index page draws its QR code with Debian's qrcode-generator (node-qrcode-generator), served
# beside the pages as qrcode.js.
set(TAVELOR_QRCODE_JS /usr/share/javascript/qrcode-generator/qrcode.js)
if(NOT EXISTS ${TAVELOR_QRCODE_JS})
  message(FATAL_ERROR "tavelor-web needs ${TAVELOR_QRCODE_JS} (Debian: node-qrcode-generator)")
endif()
set(TAVELOR_WEB_PAGES_CPP ${CMAKE_BINARY_DIR}/generated/web_pages.cpp)
add_custom_command(
  OUTPUT ${TAVELOR_WEB_PAGES_CPP}
  COMMAND ${CMAKE_COMMAND} -DPAGES_DIR=${PROJECT_SOURCE_DIR}/src/web/pages -DEXTRA=${TAVELOR_QRCODE_JS}
          -DOUTPUT=${TAVELOR_WEB_PAGES_CPP} -P ${PROJECT_SOURCE_DIR}/cmake/embed_pages.cmake
  DEPENDS ${TAVELOR_WEB_PAGES} ${TAVELOR_QRCODE_JS} ${PROJECT_SOURCE_DIR}/cmake/embed_pages.cmake
  COMMENT "Building the pages into tavelor-web")

# The portable part: options, the Origin rule, fan-out, the stream's messages, the pages.
file(GLOB TAVELOR_WEB_SOURCES CONFIGURE_DEPENDS src/web/*.cpp)
add_library(tavelor_web_core STATIC ${TAVELOR_WEB_SOURCES} ${TAVELOR_WEB_PAGES_CPP})
target_include_directories(tavelor_web_core PUBLIC src)
target_link_libraries(tavelor_web_core PUBLIC tavelor_reply_json tavelor_client tavelor_recording tavelor_cli)

# The network, the same sources on both platforms.
file(GLOB TAVELOR_WEB_NET_SOURCES CONFIGURE_DEPENDS src/web/net/*.cpp)
if(WIN32)
  list(APPEND TAVELOR_WEB_NET_SOURCES src/web/win32/console_close.cpp)
else()
  list(APPEND TAVELOR_WEB_NET_SOURCES src/web/posix/console_close.cpp)
endif()
add_executable(tavelor-web ${TAVELOR_WEB_NET_SOURCES})
target_link_libraries(tavelor-web PRIVATE tavelor_web_core tavelor_client_net tavelor_asio)
target_compile_definitions(tavelor-web PRIVATE BOOST_BEAST_USE_STD_STRING_VIEW)

if(WIN32)
  tavelor_windows_program(tavelor-web)
  if(MSVC)
    set_property(TARGET tavelor_web_core PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  endif()
endif()
