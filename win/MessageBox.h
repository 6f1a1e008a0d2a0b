#pragma once
#include <string>
#include <windows.h>

namespace win {

// A message box owned by `owner` with the given caption and style; returns the button pressed.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

}  // namespace win
