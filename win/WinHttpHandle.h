#pragma once
// RAII owner of WinHTTP handles (sessions, connections, requests). Keep out of files that use WinINet.
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "win/Handle.h"
#include "win/WinHttpApi.h"

namespace win {

struct WinHttpHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { WinHttp().WinHttpCloseHandle(h); }
};
using WinHttpHandle = UniqueHandle<WinHttpHandleTraits>;

// Splits a URL into pointers into `url` (scheme, host, path, extra information). False, with
// GetLastError set, when it cannot.
inline bool CrackUrl(const std::wstring& url, URL_COMPONENTS& parts) {
  parts = URL_COMPONENTS{};
  if (!WinHttp().library.Ready()) {
    SetLastError(WinHttp().library.Error());
    return false;
  }
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  return WinHttp().WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) != FALSE;
}

}  // namespace win
