# tavelor-mqtt: the panel replies' values to an MQTT broker and commands from it, a client of the
# panel port. The broker's side is Eclipse Mosquitto's client library (Debian libmosquitto-dev):
# a C library kept by the broker's own project, MQTT 3.1.1 and 5 with TLS, a last will and
# reconnecting with a back-off built in. Linux only: no MinGW build of it is at hand.

# The portable part: options and messages, pure.
file(GLOB TAVELOR_MQTT_SOURCES CONFIGURE_DEPENDS src/mqtt/*.cpp)
add_library(tavelor_mqtt_core STATIC ${TAVELOR_MQTT_SOURCES})
target_include_directories(tavelor_mqtt_core PUBLIC src)
target_link_libraries(tavelor_mqtt_core PUBLIC tavelor_reply_json tavelor_client tavelor_cli)

find_path(TAVELOR_MOSQUITTO_INCLUDE mosquitto.h)
find_library(TAVELOR_MOSQUITTO_LIBRARY mosquitto)
if(NOT TAVELOR_MOSQUITTO_INCLUDE OR NOT TAVELOR_MOSQUITTO_LIBRARY)
  message(FATAL_ERROR "tavelor-mqtt needs libmosquitto (Debian: libmosquitto-dev; scripts/install-deps.sh)")
endif()
file(GLOB TAVELOR_MQTT_NET_SOURCES CONFIGURE_DEPENDS src/mqtt/net/*.cpp)
add_executable(tavelor-mqtt ${TAVELOR_MQTT_NET_SOURCES})
target_include_directories(tavelor-mqtt SYSTEM PRIVATE ${TAVELOR_MOSQUITTO_INCLUDE})
target_link_libraries(tavelor-mqtt PRIVATE tavelor_mqtt_core tavelor_client_net ${TAVELOR_MOSQUITTO_LIBRARY})
