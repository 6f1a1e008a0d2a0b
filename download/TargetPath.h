#pragma once
// Pure name and path logic of the file downloader: where a downloaded file goes.
#include <windows.h>

#include <string>
#include <string_view>

// The file name a URL names: its last path segment, without query or fragment.
// "https://h/d/setup.exe" gives "setup.exe", "https://h/get?id=5" gives "get", "https://h/d/" and
// "https://h" give "" (no name).
std::wstring FileNameFromUrl(std::wstring_view url);

// True when `name` names a file inside a folder and nothing else: not empty, no path separators,
// no drive or stream colon, none of < > " | ? * or control characters, not ending in a dot or a
// blank (Windows would silently drop them, so "..", "..." and "a." are out), at most 255
// characters, and no device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9, LPT0-9, also with an
// extension such as "nul.txt").
bool IsSafeFileName(std::wstring_view name);

// `relative` below `folder` with one backslash between them, however long: C:\f or C:\f\ and a\b.exe
// give C:\f\a\b.exe; an empty `relative` gives `folder`. Nothing is checked or canonicalized.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative);

// Appends `more` to `path` with PathAppendW (the buffer holds at least MAX_PATH characters) and
// cuts the result at its first zero. Returns PathAppendW's result; on failure `path` is unchanged.
BOOL AppendPath(std::wstring& path, const std::wstring& more);

// The name a download takes when `name` is already taken `n` times, the way browsers number them:
// 0 gives `name`, 1 gives "Name (1).exe" for "Name.exe", "Name (1)" for "Name"; the number goes
// before the last extension (".config (1)" stays whole: a leading dot is no extension).
std::wstring NumberedFileName(std::wstring_view name, int n);
