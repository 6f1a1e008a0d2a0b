#include "ui/LinkButton.h"

#include <commctrl.h>
#include <oleacc.h>

#include "win/Handle.h"
#include "win/Shell.h"

namespace {

// The accessibility annotation service and the role property (from oleacc.h; defined here so
// that nothing links against oleacc: COM loads it from the system folder).
const CLSID kAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
const IID kIAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
const GUID kRoleProperty = {0xcb905ff2, 0x7bd1, 0x4c05, {0xb3, 0xc8, 0xe6, 0xc2, 0x41, 0x36, 0x4d, 0x70}};

// Tells screen readers that the static is a link (on systems that offer the annotation service;
// without it the control stays a text that Tab reaches).
void AnnounceAsLink(HWND control) {
  win::ComPtr<IAccPropServices> services;
  if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                              reinterpret_cast<void**>(services.Put())))) {
    return;
  }
  VARIANT role;
  VariantInit(&role);
  role.vt = VT_I4;
  role.lVal = ROLE_SYSTEM_LINK;
  services->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kRoleProperty, role);
}

}  // namespace

LinkButton::~LinkButton() {
  if (m_font) DeleteObject(m_font);
}

bool LinkButton::Attach(HWND dialog, int id) {
  if (!win::SubclassedControl::Attach(dialog, id)) return false;
  SetWindowLongPtrW(m_hwnd, GWL_STYLE, GetWindowLongPtrW(m_hwnd, GWL_STYLE) | WS_TABSTOP);
  MakeUnderlinedFont();
  AnnounceAsLink(m_hwnd);
  return true;
}

void LinkButton::MakeUnderlinedFont() {
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(m_hwnd, WM_GETFONT, 0, 0));
  LOGFONTW font{};
  if (!current || GetObjectW(current, sizeof(font), &font) == 0) {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  }
  font.lfUnderline = TRUE;
  HFONT underlined = CreateFontIndirectW(&font);
  if (!underlined) return;
  SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(underlined), TRUE);
  if (m_font) DeleteObject(m_font);
  m_font = underlined;
}

void LinkButton::SizeToContent() {
  if (!m_hwnd) return;
  const std::wstring text = Text();
  HDC dc = GetDC(m_hwnd);
  if (!dc) return;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(m_hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  RECT extent{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  if (old) SelectObject(dc, old);
  ReleaseDC(m_hwnd, dc);
  SetWindowPos(m_hwnd, nullptr, 0, 0, extent.right - extent.left, extent.bottom - extent.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Invalidate(true);
}

void LinkButton::Open() const {
  win::OpenWebLink(m_url);  // only web addresses are opened
}

HBRUSH LinkButton::Colour(HDC dc) const {
  SetTextColor(dc, GetSysColor(COLOR_HOTLIGHT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

bool LinkButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
      result = TRUE;
      return true;
    case WM_GETDLGCODE: {
      // Enter comes to the link instead of pressing the page's default button.
      const auto* pending = reinterpret_cast<const MSG*>(lParam);
      if (!pending || pending->message != WM_KEYDOWN || pending->wParam != VK_RETURN) return false;
      result = DLGC_WANTMESSAGE;
      return true;
    }
    case WM_KEYDOWN:
      if (wParam != VK_RETURN && wParam != VK_SPACE) return false;
      if (!(lParam & (1 << 30))) Open();  // once per press, not again while the key repeats
      result = 0;
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      return false;
    case WM_PAINT:
      result = DefaultProc(message, wParam, lParam);
      if (GetFocus() == m_hwnd) {
        RECT area{};
        GetClientRect(m_hwnd, &area);
        if (HDC dc = GetDC(m_hwnd)) {
          DrawFocusRect(dc, &area);
          ReleaseDC(m_hwnd, dc);
        }
      }
      return true;
    default:
      return false;
  }
}

