#include "WindowQuery.h"

#include <vector>

namespace uidriver {

HWND HwndFromNumber(std::uint64_t value) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(value)); }
std::uint64_t HwndNumber(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }

std::wstring ClassName(HWND hwnd) {
  wchar_t buffer[256] = {};
  const int length = GetClassNameW(hwnd, buffer, static_cast<int>(std::size(buffer)));
  return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

DWORD WindowPid(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

std::optional<std::wstring> WindowText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
    return std::nullopt;
  }
  std::vector<wchar_t> buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return std::nullopt;
  }
  return std::wstring(buffer.data(), std::min<size_t>(copied, length));
}

namespace {

struct EnumState {
  std::vector<HWND> windows;
  bool visibleOnly = false;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  if (!state->visibleOnly || IsWindowVisible(hwnd)) state->windows.push_back(hwnd);
  return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(bool visibleOnly) {
  EnumState state;
  state.visibleOnly = visibleOnly;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
  return std::move(state.windows);
}

std::vector<HWND> Descendants(HWND hwnd) {
  EnumState state;
  EnumChildWindows(hwnd, CollectWindow, reinterpret_cast<LPARAM>(&state));
  return std::move(state.windows);
}

JsonObject RectJson(const RECT& rect) {
  JsonObject json;
  json.Int("left", rect.left).Int("top", rect.top).Int("right", rect.right).Int("bottom", rect.bottom);
  return json;
}

JsonObject Summary(HWND hwnd) {
  JsonObject json;
  json.Int("hwnd", static_cast<std::int64_t>(HwndNumber(hwnd)))
      .String("class", ClassName(hwnd))
      .String("title", WindowText(hwnd).value_or(L""))
      .Int("pid", WindowPid(hwnd))
      .Bool("visible", IsWindowVisible(hwnd) != FALSE);
  return json;
}

JsonObject Details(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  RECT client{};
  GetClientRect(hwnd, &client);
  DWORD pid = 0;
  const DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
  JsonObject json = Summary(hwnd);
  json.Int("tid", tid)
      .Bool("enabled", IsWindowEnabled(hwnd) != FALSE)
      .Bool("iconic", IsIconic(hwnd) != FALSE)
      .Bool("zoomed", IsZoomed(hwnd) != FALSE)
      .Bool("foreground", GetForegroundWindow() == hwnd)
      .Int("style", static_cast<std::uint32_t>(GetWindowLongW(hwnd, GWL_STYLE)))
      .Int("exstyle", static_cast<std::uint32_t>(GetWindowLongW(hwnd, GWL_EXSTYLE)))
      .Int("owner", static_cast<std::int64_t>(HwndNumber(GetWindow(hwnd, GW_OWNER))))
      .Int("parent", static_cast<std::int64_t>(HwndNumber(GetAncestor(hwnd, GA_PARENT))))
      .Raw("rect", RectJson(rect).Str())
      .Int("client_width", client.right - client.left)
      .Int("client_height", client.bottom - client.top);
  return json;
}

JsonObject ControlJson(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  JsonObject json;
  json.Int("hwnd", static_cast<std::int64_t>(HwndNumber(hwnd)))
      .Int("id", GetDlgCtrlID(hwnd) & 0xFFFF)
      .String("class", ClassName(hwnd))
      .String("text", WindowText(hwnd).value_or(L""))
      .Bool("visible", IsWindowVisible(hwnd) != FALSE)
      .Bool("enabled", IsWindowEnabled(hwnd) != FALSE)
      .Int("style", static_cast<std::uint32_t>(GetWindowLongW(hwnd, GWL_STYLE)))
      .Int("parent", static_cast<std::int64_t>(HwndNumber(GetAncestor(hwnd, GA_PARENT))))
      .Raw("rect", RectJson(rect).Str());
  return json;
}

HWND FindControl(HWND parent, int id) {
  for (HWND child : Descendants(parent)) {
    if ((GetDlgCtrlID(child) & 0xFFFF) == (id & 0xFFFF)) return child;
  }
  return nullptr;
}

bool Matches(HWND hwnd, const std::wstring& className, const std::wstring& title, DWORD pid) {
  if (pid != 0 && WindowPid(hwnd) != pid) return false;
  if (className != L"*" && ClassName(hwnd) != className) return false;
  if (title != L"*" && WindowText(hwnd).value_or(L"") != title) return false;
  return true;
}

}  // namespace uidriver
