#pragma once
// Handing something to the shell: a link to the browser, a file to its program, a folder to Explorer.
#include <windows.h>

#include <string>

namespace win {

// "open" on `target` with `parameters` (none when empty); true when the shell took it.
bool ShellOpen(const std::wstring& target, const std::wstring& parameters = L"", int show = SW_SHOWNORMAL);

}  // namespace win
