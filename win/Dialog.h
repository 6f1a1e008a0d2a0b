#pragma once
// A dialog made from a template, modal or modeless, with commands and messages routed to
// std::function handlers instead of message maps.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <windows.h>

namespace win {

class Dialog {
 public:
  // A handler returns the message's result, or nothing to leave the message to default processing.
  using MessageHandler = std::function<std::optional<LRESULT>(WPARAM, LPARAM)>;

  explicit Dialog(UINT templateId);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally; returns the code given to EndDialog (-1 when it could not be created).
  INT_PTR DoModal(HWND parent);
  // Creates the dialog modeless (a child window when the template says so).
  bool Create(HWND parent);
  void EndDialog(INT_PTR result);

  HWND Hwnd() const { return m_hwnd; }
  UINT TemplateId() const { return m_templateId; }
  HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
  bool IsModal() const { return m_modal; }

  // Window helpers.
  void SetText(const std::wstring& text) const { SetWindowTextW(m_hwnd, text.c_str()); }
  std::wstring Text() const;
  void SetItemText(int id, const std::wstring& text) const { SetDlgItemTextW(m_hwnd, id, text.c_str()); }
  std::wstring ItemText(int id) const;
  void ShowItem(int id, bool show) const { ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }
  void Show(bool show) const { ShowWindow(m_hwnd, show ? SW_SHOW : SW_HIDE); }

  // Routes a button click (or a menu command) with this id to the handler.
  void OnCommand(int id, std::function<void()> handler) { OnCommand(id, BN_CLICKED, std::move(handler)); }
  // Routes WM_COMMAND with this control id and notification code (CBN_SELCHANGE, ...) to the handler.
  void OnCommand(int id, WORD code, std::function<void()> handler);
  // Routes a window message to the handler.
  void OnMessage(UINT message, MessageHandler handler);

 protected:
  // Called for WM_INITDIALOG; return FALSE when the focus was set by the dialog itself.
  virtual BOOL OnInitDialog() { return TRUE; }
  // A command no handler took; return true when it was dealt with (before Enter / Esc handling).
  virtual bool OnOtherCommand(int /*id*/, WORD /*code*/, HWND /*control*/) { return false; }
  // Enter / Esc (IDOK / IDCANCEL without a handler of their own): end a modal dialog.
  virtual void OnOK();
  virtual void OnCancel();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  HWND m_hwnd = nullptr;
  bool m_modal = false;
  std::map<std::pair<int, WORD>, std::function<void()>> m_commands;
  std::map<UINT, MessageHandler> m_messages;
};

// The module whose resources the dialogs, strings and images come from.
HINSTANCE ResourceModule();

}  // namespace win
