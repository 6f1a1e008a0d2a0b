#pragma once
// The WinHTTP functions the program calls, from WINHTTP.dll in the system folder (see
// SystemLibrary). Keep out of files that use WinINet.
#include <windows.h>
#include <winhttp.h>

#include "win/SystemLibrary.h"

#define WIN_WINHTTP_FUNCTIONS(X) \
  X(WinHttpAddRequestHeaders) \
  X(WinHttpCloseHandle) \
  X(WinHttpConnect) \
  X(WinHttpCrackUrl) \
  X(WinHttpOpen) \
  X(WinHttpOpenRequest) \
  X(WinHttpQueryDataAvailable) \
  X(WinHttpQueryHeaders) \
  X(WinHttpReadData) \
  X(WinHttpReceiveResponse) \
  X(WinHttpSendRequest) \
  X(WinHttpSetOption) \
  X(WinHttpSetTimeouts)

namespace win {

struct WinHttpApi {
  WinHttpApi();

  SystemLibrary library{L"WINHTTP.dll", SystemDllSource::SystemFolder};
  WIN_WINHTTP_FUNCTIONS(WIN_SYSTEM_FUNCTION_MEMBER)
};

// Loaded on the first call, from whichever thread makes it.
const WinHttpApi& WinHttp();

}  // namespace win
