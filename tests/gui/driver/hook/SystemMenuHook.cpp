// uidriver-hook.dll: loaded into another process by the UI driver's hook, reads that process's system menu.
#include <vector>
#include <windows.h>

#include "../HookProtocol.h"

namespace {

void AppendBytes(std::vector<unsigned char>& out, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  out.insert(out.end(), bytes, bytes + size);
}

void ReportSystemMenu(HWND window, HWND replyTo) {
  std::vector<unsigned char> reply;
  if (HMENU menu = GetSystemMenu(window, FALSE)) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
      wchar_t text[512] = {};
      MENUITEMINFOW info{};
      info.cbSize = sizeof(info);
      info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
      info.dwTypeData = text;
      info.cch = static_cast<UINT>(std::size(text));
      if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
      const uidriver::MenuItemRecord record{info.wID, info.fType, info.fState,
                                            static_cast<UINT>(lstrlenW(text))};
      AppendBytes(reply, &record, sizeof(record));
      AppendBytes(reply, text, record.textLength * sizeof(wchar_t));
    }
  }
  COPYDATASTRUCT data{};
  data.dwData = uidriver::kSystemMenuReply;
  data.cbData = static_cast<DWORD>(reply.size());
  data.lpData = reply.empty() ? nullptr : reply.data();
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(&data),
                      SMTO_ABORTIFHUNG, 2000, &ignored);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK UiDriverCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT readSystemMenu = RegisterWindowMessageW(uidriver::kReadSystemMenuMessage);
  if (code == HC_ACTION) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (call->message == readSystemMenu) ReportSystemMenu(call->hwnd, reinterpret_cast<HWND>(call->wParam));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
