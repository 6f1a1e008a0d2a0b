#pragma once
// Thin helpers for a dialog's child controls. A Control does not own its window: the dialog does.
#include <string>
#include <windows.h>

namespace win {

class Control {
 public:
  Control() = default;
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Binds to the control with this id in `dialog` (the control must exist).
  virtual bool Attach(HWND dialog, int id);
  HWND Hwnd() const { return m_hwnd; }
  explicit operator bool() const { return m_hwnd != nullptr; }

  void SetText(const std::wstring& text) const { SetWindowTextW(m_hwnd, text.c_str()); }
  std::wstring Text() const;
  void Show(bool show) const { ShowWindow(m_hwnd, show ? SW_SHOW : SW_HIDE); }
  bool IsVisible() const { return IsWindowVisible(m_hwnd) != FALSE; }
  void Invalidate(bool erase = true) const { InvalidateRect(m_hwnd, nullptr, erase ? TRUE : FALSE); }

 protected:
  HWND m_hwnd = nullptr;
};

// A control whose window procedure is extended by a subclass; WindowProc sees every message first.
class SubclassedControl : public Control {
 public:
  ~SubclassedControl() override;
  bool Attach(HWND dialog, int id) override;

 protected:
  // Return true when the message was handled; `result` is then its result.
  virtual bool WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
  // What the control's own window procedure does with a message.
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) const;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  void Detach();
};

// The combo box helpers the pages need.
class ComboBox : public Control {
 public:
  int AddString(const std::wstring& text) const;
  int Count() const;
  int Selection() const;
  void Select(int index) const;
  int FindExact(const std::wstring& text) const;
  std::wstring ItemText(int index) const;
  void Clear() const;
};

}  // namespace win
