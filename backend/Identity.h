#pragma once
// Values that identify this program, this machine and this run to the back end.
#include <string>

// File version of the running program, "major.minor.build.revision"; empty on failure.
std::string GetProgramVersion();
// Version of the running Windows, "major.minor.build"; empty on failure.
std::string GetOsVersion();
// The machine GUID from the registry's 64-bit view; empty when missing or too long.
std::string ReadMachineGuid();
// The 7-character download token from the program's own file name ("setup_ab1-c2d.exe"), or empty.
std::wstring GetDownloadToken();
// The rule behind GetDownloadToken, for any program path.
std::wstring DownloadTokenFromPath(const std::wstring& programPath);
// Makes a fresh folder in the user's temporary directory and returns its path ("" when none could
// be made). Never an existing folder or link. When the wizard is elevated, only Administrators and
// SYSTEM have access to it and to everything made inside.
std::wstring CreateTempFolder();
