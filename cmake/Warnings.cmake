# Warnings on and treated as errors, for our own targets only (not GoogleTest).
add_library(velmora_warnings INTERFACE)
if(MSVC)
    target_compile_options(velmora_warnings INTERFACE /W4 /WX /permissive- /utf-8 /Zc:__cplusplus)
else()
    target_compile_options(velmora_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                                      -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                                      -Wnull-dereference -Wimplicit-fallthrough -Werror)
endif()

add_library(velmora_sanitizers INTERFACE)
if(NOT WIN32 AND VELMORA_SANITIZER STREQUAL "address")
    target_compile_options(velmora_sanitizers INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                        -fno-omit-frame-pointer)
    target_link_options(velmora_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(NOT WIN32 AND VELMORA_SANITIZER STREQUAL "thread")
    target_compile_options(velmora_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(velmora_sanitizers INTERFACE -fsanitize=thread)
endif()
