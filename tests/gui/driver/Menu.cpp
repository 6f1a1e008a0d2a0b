#include "Menu.h"

#include <cstring>
#include <vector>

#include "HookProtocol.h"

namespace uidriver {

namespace {

struct MenuItem {
  UINT id = 0;
  UINT type = 0;
  UINT state = 0;
  std::wstring text;
};

JsonArray ItemsJson(const std::vector<MenuItem>& items) {
  JsonArray list;
  for (const MenuItem& item : items) {
    list.Add(JsonObject()
                 .Int("id", item.id)
                 .String("text", item.text)
                 .Int("type", item.type)
                 .Int("state", item.state)
                 .Bool("separator", (item.type & MFT_SEPARATOR) != 0));
  }
  return list;
}

// Reads a menu of our own process (or one the system lets us read directly).
std::optional<std::vector<MenuItem>> ReadLocalSystemMenu(HWND hwnd) {
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  if (!menu) return std::nullopt;
  const int count = GetMenuItemCount(menu);
  if (count < 0) return std::nullopt;
  std::vector<MenuItem> items;
  for (int i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = static_cast<UINT>(std::size(text));
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    items.push_back({info.wID, info.fType, info.fState, text});
  }
  return items;
}

// A message-only window that receives the hook library's WM_COPYDATA replies.
class ReplyWindow {
 public:
  static ReplyWindow& Instance() {
    static ReplyWindow window;
    return window;
  }
  HWND Hwnd() const { return m_hwnd; }
  void Clear() { m_reply.reset(); }
  const std::optional<std::vector<unsigned char>>& Reply() const { return m_reply; }

 private:
  ReplyWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"UiDriverReplyWindow";
    RegisterClassW(&wc);
    m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~ReplyWindow() {
    if (m_hwnd) DestroyWindow(m_hwnd);
  }
  ReplyWindow(const ReplyWindow&) = delete;
  ReplyWindow& operator=(const ReplyWindow&) = delete;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data->dwData == kSystemMenuReply) {
        const auto* bytes = static_cast<const unsigned char*>(data->lpData);
        Instance().m_reply.emplace(bytes, bytes + (bytes ? data->cbData : 0));
        return TRUE;
      }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }

  HWND m_hwnd = nullptr;
  std::optional<std::vector<unsigned char>> m_reply;
};

// The hook library, loaded from the driver's own folder.
HMODULE HookLibrary() {
  static HMODULE library = [] {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    file = file.substr(0, file.find_last_of(L"\\/") + 1) + kHookLibraryName;
    return LoadLibraryW(file.c_str());
  }();
  return library;
}

class Hook {
 public:
  explicit Hook(HHOOK hook) : m_hook(hook) {}
  ~Hook() {
    if (m_hook) UnhookWindowsHookEx(m_hook);
  }
  Hook(const Hook&) = delete;
  Hook& operator=(const Hook&) = delete;
  explicit operator bool() const { return m_hook != nullptr; }

 private:
  HHOOK m_hook;
};

std::vector<MenuItem> ParseReply(const std::vector<unsigned char>& reply) {
  std::vector<MenuItem> items;
  size_t offset = 0;
  while (offset + sizeof(MenuItemRecord) <= reply.size()) {
    MenuItemRecord record{};
    std::memcpy(&record, reply.data() + offset, sizeof(record));
    offset += sizeof(record);
    const size_t textBytes = record.textLength * sizeof(wchar_t);
    if (offset + textBytes > reply.size()) break;
    std::wstring text(record.textLength, L'\0');
    std::memcpy(text.data(), reply.data() + offset, textBytes);
    offset += textBytes;
    items.push_back({record.id, record.type, record.state, std::move(text)});
  }
  return items;
}

// Reads the menu inside the window's own process through the hook library.
std::optional<std::vector<MenuItem>> ReadRemoteSystemMenu(HWND hwnd, std::string& error) {
  HMODULE library = HookLibrary();
  if (!library) {
    error = "cannot load uidriver-hook.dll (error " + std::to_string(GetLastError()) + ")";
    return std::nullopt;
  }
  auto* proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, kHookProcName)));
  ReplyWindow& replies = ReplyWindow::Instance();
  if (!proc || !replies.Hwnd()) {
    error = "the hook library or the reply window is missing";
    return std::nullopt;
  }
  const Hook hook(SetWindowsHookExW(WH_CALLWNDPROC, proc, library, GetWindowThreadProcessId(hwnd, nullptr)));
  if (!hook) {
    error = "SetWindowsHookEx failed (error " + std::to_string(GetLastError()) + ")";
    return std::nullopt;
  }
  replies.Clear();
  DWORD_PTR ignored = 0;
  // While this waits, the driver's thread takes the WM_COPYDATA the hook sends back.
  SendMessageTimeoutW(hwnd, RegisterWindowMessageW(kReadSystemMenuMessage), reinterpret_cast<WPARAM>(replies.Hwnd()),
                      0, SMTO_ABORTIFHUNG, 5000, &ignored);
  if (!replies.Reply()) {
    error = "the window's process did not report its system menu";
    return std::nullopt;
  }
  return ParseReply(*replies.Reply());
}

}  // namespace

std::optional<JsonArray> SystemMenuItems(HWND hwnd, std::string& error) {
  if (auto items = ReadLocalSystemMenu(hwnd)) return ItemsJson(*items);
  if (auto items = ReadRemoteSystemMenu(hwnd, error)) return ItemsJson(*items);
  return std::nullopt;
}

}  // namespace uidriver
