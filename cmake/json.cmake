# nlohmann-json, header-only: the one JSON writer of the replies (replies/reply_json.h), linked by
# the probe and tavelor-web.
add_library(tavelor_json INTERFACE)
if(MINGW)
  # MinGW has no nlohmann-json of its own: take exactly that folder from the build machine's
  # /usr/include, and nothing else from there (its C library headers are Linux's).
  if(NOT EXISTS /usr/include/nlohmann)
    message(FATAL_ERROR "The JSON writer needs /usr/include/nlohmann (Debian: nlohmann-json3-dev)")
  endif()
  set(TAVELOR_JSON_THIRD_PARTY ${CMAKE_BINARY_DIR}/json-third-party)
  file(MAKE_DIRECTORY ${TAVELOR_JSON_THIRD_PARTY})
  file(CREATE_LINK /usr/include/nlohmann ${TAVELOR_JSON_THIRD_PARTY}/nlohmann SYMBOLIC)
  target_include_directories(tavelor_json SYSTEM INTERFACE ${TAVELOR_JSON_THIRD_PARTY})
else()
  find_package(nlohmann_json 3.10 REQUIRED)
  target_link_libraries(tavelor_json INTERFACE nlohmann_json::nlohmann_json)
endif()
