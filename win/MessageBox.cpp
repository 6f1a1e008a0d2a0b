#include "win/MessageBox.h"

namespace win {

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

}  // namespace win
