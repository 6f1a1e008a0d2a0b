# Cross-compiling for Windows with MinGW-w64 (posix threads model); the architecture's toolchain
# file sets WELVANE_MINGW_ARCH (i686 or x86_64) and includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${WELVANE_MINGW_ARCH})
set(CMAKE_C_COMPILER ${WELVANE_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${WELVANE_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${WELVANE_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${WELVANE_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine in the project's prefix of the same architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR env WELVANE_ARCH=${WELVANE_MINGW_ARCH} ${CMAKE_CURRENT_LIST_DIR}/../scripts/winerun)
