#include "machine/Wow64.h"

bool IsWow64() {
  if constexpr (IsBuild64()) return true;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

REGSAM Default32BitRegistryView() { return IsBuild64() ? KEY_WOW64_32KEY : 0; }

std::wstring Default32BitSystemFolder() {
  wchar_t path[MAX_PATH] = {};
  const UINT length = IsBuild64() ? GetSystemWow64DirectoryW(path, MAX_PATH) : GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(path, length);
}
