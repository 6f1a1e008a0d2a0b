# Cross-compiling for 32-bit Windows, the product as shipped.
set(WELVANE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
