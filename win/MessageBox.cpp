#include "win/MessageBox.h"

#include <atomic>

namespace win {

namespace {
std::atomic<HWND> g_mainWindow{nullptr};
constexpr wchar_t kApplicationName[] = L"Welvane";
MessageBoxHook g_hook;  // set only by tests, before any other thread runs
}  // namespace

void SetAppMessageBoxHook(MessageBoxHook hook) { g_hook = std::move(hook); }

void SetMainWindow(HWND hwnd) { g_mainWindow = hwnd; }
HWND MainWindow() { return g_mainWindow; }

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

int AppMessageBox(const std::wstring& text, UINT style) {
  if (g_hook) return g_hook(text, style);
  HWND owner = g_mainWindow;
  if (owner && !IsWindow(owner)) owner = nullptr;
  return ShowMessageBox(owner, text, kApplicationName, style);
}

}  // namespace win
