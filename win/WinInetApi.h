#pragma once
// The WinINet functions the program calls, from WININET.dll in the system folder (see
// SystemLibrary). Keep out of files that use WinHTTP.
#include <windows.h>
#include <wininet.h>

#include "win/SystemLibrary.h"

#define WIN_WININET_FUNCTIONS(X) \
  X(HttpQueryInfoW) \
  X(InternetCloseHandle) \
  X(InternetOpenUrlW) \
  X(InternetOpenW) \
  X(InternetQueryOptionW) \
  X(InternetReadFile) \
  X(InternetSetOptionW)

namespace win {

struct WinInetApi {
  WinInetApi();

  SystemLibrary library{L"WININET.dll", SystemDllSource::SystemFolder};
  WIN_WININET_FUNCTIONS(WIN_SYSTEM_FUNCTION_MEMBER)
};

// Loaded on the first call, from whichever thread makes it.
const WinInetApi& WinInet();

}  // namespace win
