#pragma once
// Keyboard input for another process's window.
#include <windows.h>

namespace uidriver {

// The window that has the keyboard focus in the thread owning hwnd, if it is hwnd or one of its descendants;
// otherwise nullptr.
HWND FocusedWindow(HWND hwnd);

// FocusedWindow(hwnd), or hwnd itself when that is nullptr.
HWND FocusTarget(HWND hwnd);

// Posts WM_KEYDOWN and WM_KEYUP for one virtual key to FocusTarget(hwnd); returns the window it went to.
HWND PostKey(HWND hwnd, UINT vk);

// Brings hwnd's top-level window to the foreground and types the key through SendInput, as the keyboard would.
bool TypeKey(HWND hwnd, UINT vk);

}  // namespace uidriver
