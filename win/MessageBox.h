#pragma once
#include <functional>
#include <string>
#include <windows.h>

namespace win {

// The window that owns application message boxes (the main dialog once it exists).
void SetMainWindow(HWND hwnd);
HWND MainWindow();

// A message box owned by `owner` with the given caption and style; returns the button pressed.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);
// Unattended runs (tests) may take over the application's message boxes: the hook receives the
// text and style and returns the button "pressed". Pass an empty function to restore the real box.
using MessageBoxHook = std::function<int(const std::wstring& text, UINT style)>;
void SetAppMessageBoxHook(MessageBoxHook hook);

// The application's own message box: owned by the main window, captioned with the application name.
int AppMessageBox(const std::wstring& text, UINT style = MB_OK);

}  // namespace win
