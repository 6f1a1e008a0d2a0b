#include "win/Dialog.h"

#include <exception>
#include <vector>

#include "win/Text.h"

namespace win {

namespace {

// Messages whose result is returned directly from a dialog procedure rather than via DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

}  // namespace

HINSTANCE ResourceModule() { return GetModuleHandleW(nullptr); }

Dialog::Dialog(UINT templateId) : m_templateId(templateId) {}

Dialog::~Dialog() {
  if (m_hwnd && !m_modal) {
    SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
    DestroyWindow(m_hwnd);
  }
}

INT_PTR Dialog::DoModal(HWND parent) {
  m_modal = true;
  const INT_PTR result = DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(m_templateId), parent, DialogProc,
                                         reinterpret_cast<LPARAM>(this));
  m_hwnd = nullptr;
  return result;
}

bool Dialog::Create(HWND parent) {
  m_modal = false;
  return CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(m_templateId), parent, DialogProc,
                            reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
  if (!m_hwnd) return;
  if (m_modal) {
    ::EndDialog(m_hwnd, result);
  } else {
    DestroyWindow(m_hwnd);
  }
}

std::wstring Dialog::Text() const { return WindowText(m_hwnd); }
std::wstring Dialog::ItemText(int id) const { return WindowText(Item(id)); }

void Dialog::OnCommand(int id, WORD code, std::function<void()> handler) {
  m_commands[{id, code}] = std::move(handler);
}
void Dialog::OnMessage(UINT message, MessageHandler handler) { m_messages[message] = std::move(handler); }

void Dialog::OnOK() {
  if (m_modal) EndDialog(IDOK);
}
void Dialog::OnCancel() {
  if (m_modal) EndDialog(IDCANCEL);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    self->m_hwnd = hwnd;
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  INT_PTR result = FALSE;
  try {
    result = self->Dispatch(message, wParam, lParam);
  } catch (const std::exception& e) {
    DebugOut(L"Unhandled exception in a dialog: " + FromUtf8(e.what()) + L"\n");
  } catch (...) {
    DebugOut(L"Unhandled exception in a dialog\n");
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->m_hwnd = nullptr;
  }
  return result;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();

  if (const auto handler = m_messages.find(message); handler != m_messages.end()) {
    const std::optional<LRESULT> result = handler->second(wParam, lParam);
    if (!result) return FALSE;
    if (ReturnsDirectly(message)) return static_cast<INT_PTR>(*result);
    SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, *result);
    return TRUE;
  }

  if (message == WM_COMMAND) {
    const int id = LOWORD(wParam);
    // Menu and accelerator commands (no control window) count as clicks.
    const WORD code = lParam == 0 ? WORD{BN_CLICKED} : HIWORD(wParam);
    if (const auto command = m_commands.find({id, code}); command != m_commands.end()) {
      command->second();
      return TRUE;
    }
    if (OnOtherCommand(id, code, reinterpret_cast<HWND>(lParam))) return TRUE;
    if (id == IDOK) {
      OnOK();
      return TRUE;
    }
    if (id == IDCANCEL) {
      OnCancel();
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace win
