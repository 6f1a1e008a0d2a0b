#pragma once
// Finding message boxes (MessageBoxW's dialogs) of other processes.
#include <windows.h>

#include "Json.h"

namespace uidriver {

// The control ids of a message box's text and of its icon (Windows uses 0x14, Wine 0x440).
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kMessageBoxIconIds[] = {0x14, 0x440};

// A visible #32770 holding one text static (kMessageBoxTextId), perhaps an icon, and push buttons with ids
// IDOK..IDCONTINUE, nothing else: an About box with labels of its own ids is not one.
bool IsMessageBox(HWND hwnd);

// The first message box of process pid (any process for 0); nullptr if there is none.
HWND FindMessageBox(DWORD pid);

// hwnd, pid, caption, text and buttons [{id, text, hwnd}].
JsonObject DescribeMessageBox(HWND box);

}  // namespace uidriver
