#pragma once
// A page's push button that takes no mouse click that began before its page was shown: the second
// press of a double click whose first click made the page appear (the previous page's button sits
// at the same spot) does not press it. Clicks by BM_CLICK and by the keyboard are always taken.
#include <windows.h>

#include "win/Control.h"

// A mouse press: its message time (ms) and screen position.
struct MousePress {
  DWORD time = 0;
  POINT point{};
};

// True when `press` may still belong to the click `earlier`: it came at most `doubleClickTime` ms
// after it (message times wrap around), wherever it landed (a quick double click moves a little).
// A press older than `earlier` belongs to it as well.
bool ContinuesClick(const MousePress& earlier, const MousePress& press, UINT doubleClickTime);

// Remembers by which mouse click a page was shown; the page's PageButtons ask it.
class PageShowGuard {
 public:
  // Called when the page becomes visible: remembers the mouse click being released on a PageButton
  // right now (the click that made the page appear), if any.
  void OnShown();
  // True when a mouse press on one of the page's buttons continues the click that showed the page.
  bool RefusesPress(const MousePress& press) const;

 private:
  bool m_shownByClick = false;
  MousePress m_showingClick;
};

class PageButton : public win::SubclassedControl {
 public:
  // Binds to the button `id` of `dialog`, whose presses `guard` (owned by the page) judges.
  bool Attach(HWND dialog, int id, const PageShowGuard* guard);
  using win::SubclassedControl::Attach;

 protected:
  bool WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  const PageShowGuard* m_guard = nullptr;
  bool m_inProgrammaticClick = false;
};
