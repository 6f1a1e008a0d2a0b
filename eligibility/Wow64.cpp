#include "eligibility/Wow64.h"

#include <windows.h>

bool IsWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}
