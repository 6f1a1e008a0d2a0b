#include "win/Shell.h"

#include <shellapi.h>

#include "win/Text.h"

namespace win {

bool ShellOpen(const std::wstring& target, const std::wstring& parameters, int show) {
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", target.c_str(),
                                         parameters.empty() ? nullptr : parameters.c_str(), nullptr, show);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool IsWebLink(std::wstring_view url) {
  for (const std::wstring_view scheme : {std::wstring_view(L"http://"), std::wstring_view(L"https://")}) {
    if (url.size() > scheme.size() && StartsWithNoCase(url, scheme)) return true;
  }
  return false;
}

bool OpenWebLink(const std::wstring& url) { return IsWebLink(url) && ShellOpen(url); }

bool ShowInFolder(const std::wstring& path, int show) {
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::wstring explorer = std::wstring(windows, length) + L"\\explorer.exe";
  return ShellOpen(explorer, L"/select,\"" + path + L"\"", show);
}

}  // namespace win
