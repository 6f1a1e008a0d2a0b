#include "win/MessageBox.h"

#include <atomic>

namespace win {

namespace {
std::atomic<HWND> g_mainWindow{nullptr};
constexpr wchar_t kApplicationName[] = L"Welvane";
}  // namespace

void SetMainWindow(HWND hwnd) { g_mainWindow = hwnd; }
HWND MainWindow() { return g_mainWindow; }

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

int AppMessageBox(const std::wstring& text, UINT style) {
  HWND owner = g_mainWindow;
  if (owner && !IsWindow(owner)) owner = nullptr;
  return ShowMessageBox(owner, text, kApplicationName, style);
}

}  // namespace win
