#include "MessageBoxes.h"

#include "WindowQuery.h"

namespace uidriver {

bool IsMessageBox(HWND hwnd) {
  if (!IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770") return false;
  bool hasText = false;
  bool hasButton = false;
  for (HWND child : Descendants(hwnd)) {
    const std::wstring cls = ClassName(child);
    const int id = GetDlgCtrlID(child) & 0xFFFF;
    if (cls == L"Static") {
      hasText = hasText || id == kMessageBoxTextId;
    } else if (cls == L"Button") {
      if (id < IDOK || id > IDCONTINUE) return false;
      hasButton = true;
    } else {
      return false;
    }
  }
  return hasText && hasButton;
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
    if (cls == L"Static" && id == kMessageBoxTextId) {
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
