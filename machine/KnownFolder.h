#pragma once
#include <string>
#include <windows.h>
#include <shlobj.h>

// The path of a known folder for the current user (or the default user); empty on failure.
std::wstring GetKnownFolder(REFKNOWNFOLDERID id, bool defaultUser = false);
