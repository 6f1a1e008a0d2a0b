// The yardstick of scripts/bench-startup: the smallest dialog program of the wizard's toolchain and
// manifest (static, common controls initialised the same way), showing one combo box (id 1000) at
// start, as the wizard's language page does.
#include <windows.h>
#include <commctrl.h>

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  DialogBoxParamW(instance, MAKEINTRESOURCEW(100), nullptr, DialogProc, 0);
  return 0;
}
