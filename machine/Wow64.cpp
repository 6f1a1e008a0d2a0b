#include "machine/Wow64.h"

bool IsWow64() {
  if constexpr (IsBuild64()) return true;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

REGSAM Default32BitRegistryView() { return IsBuild64() ? KEY_WOW64_32KEY : 0; }
