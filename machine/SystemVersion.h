#pragma once
#include <windows.h>

// True when the running Windows is at least major.minor with at least the given service pack.
bool IsWindowsVersionOrLater(DWORD major, DWORD minor, WORD servicePack = 0);
