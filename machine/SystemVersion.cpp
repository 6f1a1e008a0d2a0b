#include "machine/SystemVersion.h"

bool IsWindowsVersionOrLater(DWORD major, DWORD minor, WORD servicePack) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.wServicePackMajor = servicePack;
  DWORDLONG mask = 0;
  mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

bool RealWindowsVersion(OSVERSIONINFOEXW& info) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto rtlGetVersion =
      ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
  if (!rtlGetVersion) return false;
  info = OSVERSIONINFOEXW{};
  info.dwOSVersionInfoSize = sizeof(info);
  return rtlGetVersion(&info) == 0;
}
