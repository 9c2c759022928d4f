# nlohmann/json (header-only, Debian package nlohmann-json3-dev) as the INTERFACE target
# velmora_json. Only the nlohmann/ folder is copied into a private include directory of the build,
# so the cross build never sees the host's /usr/include.
set(VELMORA_NLOHMANN_JSON_DIR /usr/include/nlohmann CACHE PATH "The nlohmann/ folder of nlohmann-json3-dev")
if(NOT EXISTS ${VELMORA_NLOHMANN_JSON_DIR}/json.hpp)
    message(FATAL_ERROR "nlohmann/json.hpp not found in ${VELMORA_NLOHMANN_JSON_DIR} (scripts/install-deps)")
endif()
set(VELMORA_JSON_INCLUDE_DIR ${CMAKE_BINARY_DIR}/third_party/include)
file(COPY ${VELMORA_NLOHMANN_JSON_DIR}/ DESTINATION ${VELMORA_JSON_INCLUDE_DIR}/nlohmann)

add_library(velmora_json INTERFACE)
# SYSTEM: the library's own code is not held to our warning flags.
target_include_directories(velmora_json SYSTEM INTERFACE ${VELMORA_JSON_INCLUDE_DIR})
