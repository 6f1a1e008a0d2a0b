#pragma once
// What the driver and its hook library (uidriver-hook.dll, loaded into the window's process) agree on.
//
// Some things can only be read inside the process that owns a window; under Wine GetSystemMenu of another
// process's window returns no menu. The driver then installs a WH_CALLWNDPROC hook from the hook library on the
// window's thread and sends the window kReadSystemMenuMessage with its own reply window in wParam; inside the
// owning process the hook reads the menu and sends it back with WM_COPYDATA (dwData kSystemMenuReply).
#include <windows.h>

namespace uidriver {

constexpr wchar_t kHookLibraryName[] = L"uidriver-hook.dll";
constexpr char kHookProcName[] = "UiDriverCallWndProc";  // exported without stdcall decoration
constexpr wchar_t kReadSystemMenuMessage[] = L"WelvaneUiDriverReadSystemMenu";
constexpr ULONG_PTR kSystemMenuReply = 0x57534D31;  // "WSM1"

// The reply is a sequence of records, each followed by textLength wide characters (no terminator).
struct MenuItemRecord {
  UINT id;
  UINT type;
  UINT state;
  UINT textLength;
};

}  // namespace uidriver
