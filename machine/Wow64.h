#pragma once
// What "64-bit Windows" means for this program, whichever way it was built. The product ships as a
// 32-bit program; the 64-bit build of the same sources must see the machine exactly as the 32-bit
// program does on 64-bit Windows. Every difference between the two builds lives here.
#include <windows.h>

// True on 64-bit Windows: the 32-bit build asks WOW64 at every call; the 64-bit build can only run there.
bool IsWow64();

// The registry view a 32-bit program gets by default: 0 for the 32-bit build (WOW64 chooses it),
// KEY_WOW64_32KEY for the 64-bit build, which must name it.
REGSAM Default32BitRegistryView();

// True when this executable is the 64-bit build.
constexpr bool IsBuild64() {
#ifdef _WIN64
  return true;
#else
  return false;
#endif
}
