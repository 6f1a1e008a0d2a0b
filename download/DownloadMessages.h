#pragma once
// The window messages the file downloader posts to the window it reports to. The application's own
// messages are numbered from WM_APP (ui/PageMessages.h goes on from here): on a dialog, WM_USER + 1
// and WM_USER + 2 are DM_SETDEFID and DM_REPOSITION, so a message from the WM_USER range that a page
// does not handle would change its default button or move it.
#include <windows.h>

// wParam: percent of the current file received, 0..100; lParam: 0.
constexpr UINT WM_DOWNLOADPROGRESS = WM_APP + 1;
// The server sent no usable content length (0, 0); the page shows an indeterminate display.
constexpr UINT WM_DOWNLOADSIZEUNKNOWN = WM_APP + 2;
