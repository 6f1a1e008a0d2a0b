#pragma once
// The pages' own window messages, numbered on from the downloader's.
#include <windows.h>

#include "download/DownloadMessages.h"

// Posted to the main dialog by the loading page when the offers and their images are in (0, 0).
constexpr UINT WM_LOADCOMPLETE = WM_DOWNLOADSIZEUNKNOWN + 1;
// Posted to the loading page by its worker when the configuration request has ended, whatever its
// outcome (0, 0).
constexpr UINT WM_REQUESTCOMPLETE = WM_DOWNLOADSIZEUNKNOWN + 2;
