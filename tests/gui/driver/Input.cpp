#include "Input.h"

#include <vector>

namespace uidriver {

HWND FocusedWindow(HWND hwnd) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  const DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
  if (thread != 0 && GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
      (info.hwndFocus == hwnd || IsChild(hwnd, info.hwndFocus))) {
    return info.hwndFocus;
  }
  return nullptr;
}

HWND FocusTarget(HWND hwnd) {
  const HWND focus = FocusedWindow(hwnd);
  return focus ? focus : hwnd;
}

HWND PostKey(HWND hwnd, UINT vk) {
  const HWND target = FocusTarget(hwnd);
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, vk, 1 | scan);
  PostMessageW(target, WM_KEYUP, vk, 1 | scan | (1 << 30) | (static_cast<LPARAM>(1) << 31));
  return target;
}

bool TypeKey(HWND hwnd, UINT vk) {
  const HWND root = GetAncestor(hwnd, GA_ROOT);
  SetForegroundWindow(root ? root : hwnd);
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(vk);
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  }
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool MouseClick(HWND hwnd, int clicks) {
  const HWND root = GetAncestor(hwnd, GA_ROOT);
  SetForegroundWindow(root ? root : hwnd);
  RECT rect{};
  if (!GetWindowRect(hwnd, &rect) || !SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2)) {
    return false;
  }
  // All presses in one call: they are queued together, so none waits for the window to handle the ones before.
  std::vector<INPUT> inputs(2 * static_cast<size_t>(clicks));
  for (size_t i = 0; i < inputs.size(); ++i) {
    inputs[i].type = INPUT_MOUSE;
    inputs[i].mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  }
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

}  // namespace uidriver
