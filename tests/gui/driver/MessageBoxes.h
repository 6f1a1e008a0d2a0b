#pragma once
// Finding message boxes (MessageBoxW's dialogs) of other processes.
#include <windows.h>

#include "Json.h"

namespace uidriver {

// The control id of a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

// A visible #32770 holding a static with kMessageBoxTextId, push buttons with ids IDOK..IDCONTINUE and nothing
// but statics and buttons.
bool IsMessageBox(HWND hwnd);

// The first message box of process pid (any process for 0); nullptr if there is none.
HWND FindMessageBox(DWORD pid);

// hwnd, pid, caption, text and buttons [{id, text, hwnd}].
JsonObject DescribeMessageBox(HWND box);

}  // namespace uidriver
