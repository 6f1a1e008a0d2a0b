#pragma once
// RAII owner of WinINet handles (sessions, URL requests). Keep out of files that use WinHTTP.
#include <windows.h>
#include <wininet.h>

#include "win/Handle.h"
#include "win/WinInetApi.h"

namespace win {

struct WinInetHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { WinInet().InternetCloseHandle(h); }
};
using WinInetHandle = UniqueHandle<WinInetHandleTraits>;

}  // namespace win
