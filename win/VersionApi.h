#pragma once
// The version-information function the program calls, from VERSION.dll in the system folder (see
// SystemLibrary).
#include <windows.h>

#include "win/SystemLibrary.h"

#define WIN_VERSION_FUNCTIONS(X) \
  X(VerQueryValueW)

namespace win {

struct VersionApi {
  VersionApi() { WIN_VERSION_FUNCTIONS(WIN_SYSTEM_FUNCTION_FIND) }

  SystemLibrary library{L"VERSION.dll", SystemDllSource::SystemFolder};
  WIN_VERSION_FUNCTIONS(WIN_SYSTEM_FUNCTION_MEMBER)
};

// Loaded on the first call, from whichever thread makes it.
inline const VersionApi& Version() {
  static const VersionApi api;
  return api;
}

}  // namespace win
