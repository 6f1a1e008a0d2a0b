#pragma once
#include <windows.h>

// The Windows version queries, in one place. Two answers exist on purpose:

// True when Windows, as this program is told it (the manifest's supported versions decide), is at
// least major.minor with at least the given service pack. For choosing what to use.
bool IsWindowsVersionOrLater(DWORD major, DWORD minor, WORD servicePack = 0);

// The version Windows really is, whatever the manifest says (RtlGetVersion). For reporting. False
// when it cannot be read.
bool RealWindowsVersion(OSVERSIONINFOEXW& info);
