#pragma once
// Messages the file downloader posts to the window it was given (wParam, lParam as noted).
#include <windows.h>

// wParam: percent of the current file received, 0..100; lParam: 0.
constexpr UINT WM_DOWNLOADPROGRESS = WM_USER + 1;
// The server sent no usable content length (0, 0): the page shows an indeterminate display.
constexpr UINT WM_DOWNLOADSIZEUNKNOWN = WM_USER + 2;
