# Cross-compiling the same sources for 64-bit Windows, for machines that cannot run 32-bit programs.
set(WELVANE_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
