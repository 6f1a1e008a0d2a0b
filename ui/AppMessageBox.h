#pragma once
// The application's own message boxes: owned by the main window, captioned with the application name.
#include <windows.h>

#include <functional>
#include <string>

// The window that owns application message boxes (the main dialog once it exists).
void SetAppMainWindow(HWND hwnd);

// Unattended runs (tests) may take over the application's message boxes: the hook receives the
// text and style and returns the button "pressed". Pass an empty function to restore the real box.
using MessageBoxHook = std::function<int(const std::wstring& text, UINT style)>;
void SetAppMessageBoxHook(MessageBoxHook hook);

// Returns the button pressed.
int AppMessageBox(const std::wstring& text, UINT style = MB_OK);
