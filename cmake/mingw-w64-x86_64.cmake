# Cross-compiling Velmora for Windows x64 with Debian's MinGW-w64 (posix threads model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# Without the compiler, CMake would still write a cache whose release flags stay empty on every later
# configure, and the tree would build unoptimised once the compiler is installed; stop before that.
find_program(VELMORA_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(NOT VELMORA_MINGW_CXX)
    message(FATAL_ERROR "x86_64-w64-mingw32-g++-posix is not installed: run scripts/install-deps first")
endif()
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every Windows program the tests start runs inside the sandbox under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
