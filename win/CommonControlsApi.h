#pragma once
// The common controls functions the program calls, from COMCTL32.dll: the version 6 assembly that
// the manifest names, else the system folder's (see SystemLibrary).
#include <windows.h>
#include <commctrl.h>

#include "win/SystemLibrary.h"

#define WIN_COMMON_CONTROLS_FUNCTIONS(X) \
  X(DefSubclassProc) \
  X(InitCommonControlsEx) \
  X(RemoveWindowSubclass) \
  X(SetWindowSubclass)

namespace win {

struct CommonControlsApi {
  CommonControlsApi();

  SystemLibrary library{L"COMCTL32.dll", SystemDllSource::SideBySideThenSystemFolder};
  WIN_COMMON_CONTROLS_FUNCTIONS(WIN_SYSTEM_FUNCTION_MEMBER)
};

// Loaded on the first call, at start-up on the UI thread.
const CommonControlsApi& CommonControls();

}  // namespace win
