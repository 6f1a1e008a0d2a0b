#include "ui/AppMessageBox.h"

#include <atomic>

#include "win/MessageBox.h"

namespace {
std::atomic<HWND> g_mainWindow{nullptr};
constexpr wchar_t kApplicationName[] = L"Welvane";
MessageBoxHook g_hook;  // set only by tests, before any other thread runs
}  // namespace

void SetAppMessageBoxHook(MessageBoxHook hook) { g_hook = std::move(hook); }

void SetAppMainWindow(HWND hwnd) { g_mainWindow = hwnd; }

int AppMessageBox(const std::wstring& text, UINT style) {
  if (g_hook) return g_hook(text, style);
  HWND owner = g_mainWindow;
  if (owner && !IsWindow(owner)) owner = nullptr;
  return win::ShowMessageBox(owner, text, kApplicationName, style);
}
