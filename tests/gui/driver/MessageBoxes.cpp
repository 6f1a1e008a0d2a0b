#include "MessageBoxes.h"

#include "WindowQuery.h"

namespace uidriver {

namespace {

bool IsTextStatic(HWND control) {
  return (GetDlgCtrlID(control) & 0xFFFF) == kMessageBoxTextId &&
         (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) != SS_ICON;
}

bool IsIconStatic(HWND control) {
  const int id = GetDlgCtrlID(control) & 0xFFFF;
  for (const int iconId : kMessageBoxIconIds) {
    if (id == iconId) return true;
  }
  return false;
}

}  // namespace

bool IsMessageBox(HWND hwnd) {
  if (!IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770") return false;
  int texts = 0;
  bool hasButton = false;
  for (HWND child : Descendants(hwnd)) {
    const std::wstring cls = ClassName(child);
    if (cls == L"Static") {
      if (IsTextStatic(child)) {
        ++texts;
      } else if (!IsIconStatic(child)) {
        return false;
      }
    } else if (cls == L"Button") {
      const int id = GetDlgCtrlID(child) & 0xFFFF;
      if (id < IDOK || id > IDCONTINUE) return false;
      hasButton = true;
    } else {
      return false;
    }
  }
  return texts == 1 && hasButton;
}

HWND FindMessageBox(DWORD pid) {
  for (HWND hwnd : TopLevelWindows(true)) {
    if ((pid == 0 || WindowPid(hwnd) == pid) && IsMessageBox(hwnd)) return hwnd;
  }
  return nullptr;
}

JsonObject DescribeMessageBox(HWND box) {
  JsonArray buttons;
  std::wstring text;
  for (HWND child : Descendants(box)) {
    const int id = GetDlgCtrlID(child) & 0xFFFF;
    const std::wstring cls = ClassName(child);
    if (cls == L"Static" && IsTextStatic(child)) {
      text = WindowText(child).value_or(L"");
    } else if (cls == L"Button") {
      JsonObject button;
      button.Int("id", id)
          .String("text", WindowText(child).value_or(L""))
          .Int("hwnd", static_cast<std::int64_t>(HwndNumber(child)));
      buttons.Add(button);
    }
  }
  JsonObject json;
  json.Int("hwnd", static_cast<std::int64_t>(HwndNumber(box)))
      .Int("pid", WindowPid(box))
      .String("caption", WindowText(box).value_or(L""))
      .String("text", text)
      .Raw("buttons", buttons.Str());
  return json;
}

}  // namespace uidriver
