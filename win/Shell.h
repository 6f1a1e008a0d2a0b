#pragma once
// Handing something to the shell: a link to the browser, a file to its program, a folder to Explorer.
#include <windows.h>

#include <string>
#include <string_view>

namespace win {

// "open" on `target` with `parameters` (none when empty); true when the shell took it.
bool ShellOpen(const std::wstring& target, const std::wstring& parameters = L"", int show = SW_SHOWNORMAL);

// True for an address that starts with "http://" or "https://" (any case) and has something after it.
bool IsWebLink(std::wstring_view url);
// Opens a web link in the browser; anything that is not one (a file, a program, another scheme) is
// refused: false.
bool OpenWebLink(const std::wstring& url);

// Shows `path` selected in a folder window, with Explorer started from the Windows folder by its full
// path (never found by name, in the current folder or beside the wizard).
bool ShowInFolder(const std::wstring& path, int show = SW_SHOWDEFAULT);

}  // namespace win
