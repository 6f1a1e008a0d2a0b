#pragma once
// The application's own window messages, all in one place. They are numbered from WM_APP: on a
// dialog, WM_USER + 1 and WM_USER + 2 are DM_SETDEFID and DM_REPOSITION, so a message from the
// WM_USER range that a page does not handle would change its default button or move it.
#include <windows.h>

// Posted by the file downloader. wParam: percent of the current file received, 0..100; lParam: 0.
constexpr UINT WM_DOWNLOADPROGRESS = WM_APP + 1;
// Posted by the file downloader: the server sent no usable content length (0, 0); the page shows an
// indeterminate display.
constexpr UINT WM_DOWNLOADSIZEUNKNOWN = WM_APP + 2;
// Posted to the main dialog by the loading page when the offers and their images are in (0, 0).
constexpr UINT WM_LOADCOMPLETE = WM_APP + 3;
// Posted to the loading page by its worker when the configuration request has ended, whatever its
// outcome (0, 0).
constexpr UINT WM_REQUESTCOMPLETE = WM_APP + 4;
