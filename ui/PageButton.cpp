#include "ui/PageButton.h"

#include <commctrl.h>

namespace {

// The mouse click being released on a PageButton while its BN_CLICKED is handled; a page shown
// meanwhile was shown by that click.
bool g_releasing = false;
MousePress g_releasingClick;

MousePress CurrentPress() {
  const DWORD position = GetMessagePos();
  return MousePress{static_cast<DWORD>(GetMessageTime()),
                    POINT{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))}};
}

}  // namespace

bool ContinuesClick(const MousePress& earlier, const MousePress& press, UINT doubleClickTime) {
  // Message times wrap around after 49.7 days, so the difference is taken modulo 2^32. A press
  // that came before the earlier click ended (queued meanwhile) began before it.
  const LONG elapsed = static_cast<LONG>(press.time - earlier.time);
  return elapsed < 0 || elapsed <= static_cast<LONG>(doubleClickTime);
}

void PageShowGuard::OnShown() {
  m_shownByClick = g_releasing;
  if (m_shownByClick) m_showingClick = g_releasingClick;
}

bool PageShowGuard::RefusesPress(const MousePress& press) const {
  if (!m_shownByClick) return false;
  return ContinuesClick(m_showingClick, press, GetDoubleClickTime());
}

bool PageButton::Attach(HWND dialog, int id, const PageShowGuard* guard) {
  m_guard = guard;
  return win::SubclassedControl::Attach(dialog, id);
}

bool PageButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case BM_CLICK: {
      // A click made by a program (or by accessibility tools) is always taken.
      m_inProgrammaticClick = true;
      result = DefaultProc(message, wParam, lParam);
      m_inProgrammaticClick = false;
      return true;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (m_inProgrammaticClick || !m_guard || !m_guard->RefusesPress(CurrentPress())) return false;
      result = 0;  // the button is not pressed, so its release clicks nothing
      return true;
    case WM_LBUTTONUP: {
      if (m_inProgrammaticClick) return false;
      const bool outer = g_releasing;
      const MousePress outerClick = g_releasingClick;
      g_releasing = true;
      g_releasingClick = CurrentPress();
      result = DefaultProc(message, wParam, lParam);
      g_releasing = outer;
      g_releasingClick = outerClick;
      return true;
    }
    default:
      return false;
  }
}
