// The application's messages reach pages (dialogs) that may not handle them: they must not be
// read as dialog-manager messages there.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "ui/PageMessages.h"

namespace {

constexpr WORD kDefaultButton = 100;

INT_PTR CALLBACK HandlesNothing(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A modeless dialog from an in-memory template: one default push button.
HWND MakeDialog() {
  std::vector<DWORD> storage(16, 0);
  auto* bytes = reinterpret_cast<BYTE*>(storage.data());
  DLGTEMPLATE dialog{};
  dialog.style = WS_POPUP | DS_MODALFRAME;
  dialog.cdit = 1;
  dialog.cx = 200;
  dialog.cy = 100;
  std::memcpy(bytes, &dialog, 18);  // then menu, class and title: all 0
  DLGITEMTEMPLATE item{};
  item.style = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON;
  item.x = 10;
  item.y = 10;
  item.cx = 50;
  item.cy = 14;
  item.id = kDefaultButton;
  std::memcpy(bytes + 24, &item, 18);
  const WORD buttonClass[] = {0xFFFF, 0x0080, 0, 0};  // class "Button", no title, no creation data
  std::memcpy(bytes + 42, buttonClass, sizeof(buttonClass));
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(bytes), nullptr,
                                    HandlesNothing, 0);
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

TEST(AppMessages, APageThatIgnoresThemKeepsItsDefaultButtonAndPlace) {
  for (UINT message : {WM_DOWNLOADPROGRESS, WM_DOWNLOADSIZEUNKNOWN, WM_LOADCOMPLETE}) {
    EXPECT_GE(message, static_cast<UINT>(WM_APP));
  }
  HWND page = MakeDialog();
  ASSERT_NE(page, nullptr);
  ASSERT_EQ(LOWORD(SendMessageW(page, DM_GETDEFID, 0, 0)), kDefaultButton);
  SetWindowPos(page, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT before{};
  GetWindowRect(page, &before);

  PostMessageW(page, WM_DOWNLOADPROGRESS, 57, 0);  // as the downloader posts it
  PostMessageW(page, WM_DOWNLOADSIZEUNKNOWN, 0, 0);
  PostMessageW(page, WM_LOADCOMPLETE, 0, 0);
  Pump();

  EXPECT_EQ(LOWORD(SendMessageW(page, DM_GETDEFID, 0, 0)), kDefaultButton);
  RECT after{};
  GetWindowRect(page, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  DestroyWindow(page);
}
