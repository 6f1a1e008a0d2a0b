#pragma once
// RAII owner of WinHTTP handles (sessions, connections, requests). Keep out of files that use WinINet.
#include <windows.h>
#include <winhttp.h>

#include "win/Handle.h"

namespace win {

struct WinHttpHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { WinHttpCloseHandle(h); }
};
using WinHttpHandle = UniqueHandle<WinHttpHandleTraits>;

}  // namespace win
