# A second compiler for the Windows build: Debian's clang targeting MinGW-w64, over the headers and
# libraries of the MinGW-w64 toolchain the main cross build uses. It catches much of what GCC forgives
# and MSVC does not; its programs are built, never run (scripts/test).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# The sysroot keeps the host's /usr/include out of the search path, as in the main cross build.
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# clang does not find the GCC of Debian's "12-posix" folder by itself: its C++ library is named here.
set(VELMORA_MINGW_GCC_DIR /usr/lib/gcc/x86_64-w64-mingw32/12-posix)
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${VELMORA_MINGW_GCC_DIR}/include/c++ -isystem ${VELMORA_MINGW_GCC_DIR}/include/c++/x86_64-w64-mingw32")
# GNU ld of the MinGW toolchain, the GCC support libraries, and the posix thread model of that GCC.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=bfd -B/usr/bin/x86_64-w64-mingw32- -L${VELMORA_MINGW_GCC_DIR} -static -pthread")
# Registered tests name a Windows program; this build never runs them.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
