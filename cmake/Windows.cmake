# Windows-wide settings: Unicode Win32 API, Windows 10 as the minimum, and (with MinGW) one
# self-contained executable without runtime DLLs.
add_library(velmora_windows INTERFACE)
target_compile_definitions(velmora_windows INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                     _WIN32_WINNT=0x0A00 WINVER=0x0A00 NTDDI_VERSION=0x0A000000)
if(MINGW)
    target_link_options(velmora_windows INTERFACE -static -static-libgcc -static-libstdc++)
    # Reproducible builds: no time stamp in the PE header, and no folder of the build machine in the code.
    target_link_options(velmora_windows INTERFACE -Wl,--no-insert-timestamp)
    target_compile_options(velmora_windows INTERFACE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                                                     -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endif()

# Programs whose entry point is wWinMain or wmain.
add_library(velmora_wide_entry INTERFACE)
if(MINGW)
    target_link_options(velmora_wide_entry INTERFACE -municode)
endif()
