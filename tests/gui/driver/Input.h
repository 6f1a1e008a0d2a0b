#pragma once
// Keyboard and mouse input for another process's window.
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

// Brings hwnd's top-level window to the foreground, puts the cursor on the centre of hwnd and presses and
// releases the left button `clicks` times in one SendInput, as a quick user would (2: a double click).
bool MouseClick(HWND hwnd, int clicks);

}  // namespace uidriver
