#pragma once
// RAII owner of WinHTTP handles (sessions, connections, requests). Keep out of files that use WinINet.
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "win/Handle.h"

namespace win {

struct WinHttpHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { WinHttpCloseHandle(h); }
};
using WinHttpHandle = UniqueHandle<WinHttpHandleTraits>;

// Splits a URL into pointers into `url` (scheme, host, path, extra information).
inline bool CrackUrl(const std::wstring& url, URL_COMPONENTS& parts) {
  parts = URL_COMPONENTS{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  return WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) != FALSE;
}

}  // namespace win
