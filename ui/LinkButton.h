#pragma once
// A static control that works as a link: underlined, in the link colour, with a hand cursor. It
// is reached with Tab, shows a focus rectangle, opens its URL on a click, Enter or Space, and is
// announced as a link to screen readers.
#include <string>

#include "win/Control.h"

class LinkButton : public win::SubclassedControl {
 public:
  ~LinkButton() override;
  // Binds to the static `id` of `dialog`, makes it a tab stop and gives it an underlined copy of
  // its font.
  bool Attach(HWND dialog, int id) override;

  void SetUrl(std::wstring url) { m_url = std::move(url); }
  const std::wstring& Url() const { return m_url; }
  // Resizes the control to fit its text (its top left corner stays).
  void SizeToContent();
  // Opens the URL, if any, with the shell.
  void Open() const;
  // The colours of the link; the page calls this for WM_CTLCOLORSTATIC of the control.
  HBRUSH Colour(HDC dc) const;

 protected:
  bool WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void MakeUnderlinedFont();
  std::wstring m_url;
  HFONT m_font = nullptr;  // owned
};
