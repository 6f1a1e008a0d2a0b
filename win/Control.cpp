#include "win/Control.h"

#include <exception>
#include <vector>

#include "win/CommonControlsApi.h"
#include "win/Text.h"

namespace win {

namespace {
constexpr UINT_PTR kSubclassId = 0x57454C56;  // "WELV"
}

bool Control::Attach(HWND dialog, int id) {
  m_hwnd = GetDlgItem(dialog, id);
  return m_hwnd != nullptr;
}

std::wstring Control::Text() const {
  const int length = GetWindowTextLengthW(m_hwnd);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  const int copied = GetWindowTextW(m_hwnd, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

SubclassedControl::~SubclassedControl() { Detach(); }

bool SubclassedControl::Attach(HWND dialog, int id) {
  Detach();
  if (!Control::Attach(dialog, id) || !CommonControls().library.Ready()) return false;
  return CommonControls().SetWindowSubclass(m_hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)) !=
         FALSE;
}

void SubclassedControl::Detach() {
  if (m_hwnd && IsWindow(m_hwnd)) CommonControls().RemoveWindowSubclass(m_hwnd, SubclassProc, kSubclassId);
  m_hwnd = nullptr;
}

LRESULT CALLBACK SubclassedControl::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR data) {
  auto* self = reinterpret_cast<SubclassedControl*>(data);
  if (message == WM_NCDESTROY) {
    CommonControls().RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
    self->m_hwnd = nullptr;
    return CommonControls().DefSubclassProc(hwnd, message, wParam, lParam);
  }
  try {
    LRESULT result = 0;
    if (self->WindowProc(message, wParam, lParam, result)) return result;
  } catch (const std::exception& e) {
    DebugOut(L"Unhandled exception in a control: " + FromUtf8(e.what()) + L"\n");
  } catch (...) {
    DebugOut(L"Unhandled exception in a control\n");
  }
  return CommonControls().DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT SubclassedControl::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) const {
  return CommonControls().DefSubclassProc(m_hwnd, message, wParam, lParam);
}

int ComboBox::AddString(const std::wstring& text) const {
  return static_cast<int>(SendMessageW(m_hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}
int ComboBox::Count() const { return static_cast<int>(SendMessageW(m_hwnd, CB_GETCOUNT, 0, 0)); }
int ComboBox::Selection() const { return static_cast<int>(SendMessageW(m_hwnd, CB_GETCURSEL, 0, 0)); }
void ComboBox::Select(int index) const { SendMessageW(m_hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
int ComboBox::FindExact(const std::wstring& text) const {
  return static_cast<int>(
      SendMessageW(m_hwnd, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
}
std::wstring ComboBox::ItemText(int index) const {
  const LRESULT length = SendMessageW(m_hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  SendMessageW(m_hwnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  return std::wstring(buffer.data());
}
void ComboBox::Clear() const { SendMessageW(m_hwnd, CB_RESETCONTENT, 0, 0); }

}  // namespace win
