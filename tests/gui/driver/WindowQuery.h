#pragma once
// Reading other processes' windows: enumeration, class, text, geometry.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

#include "Json.h"

namespace uidriver {

// How long the driver waits for another process to answer one sent message.
constexpr UINT kSendTimeoutMs = 2000;

HWND HwndFromNumber(std::uint64_t value);
std::uint64_t HwndNumber(HWND hwnd);

std::wstring ClassName(HWND hwnd);
DWORD WindowPid(HWND hwnd);

// The text the window itself reports (WM_GETTEXT through SendMessageTimeoutW); nothing if it does not answer.
std::optional<std::wstring> WindowText(HWND hwnd);

// Top-level windows in Z order; only visible ones unless told otherwise.
std::vector<HWND> TopLevelWindows(bool visibleOnly);
// Every descendant of a window, depth first.
std::vector<HWND> Descendants(HWND hwnd);

JsonObject RectJson(const RECT& rect);
// hwnd, class, title, pid, visible: what list-windows shows per window.
JsonObject Summary(HWND hwnd);
// Everything window-info reports.
JsonObject Details(HWND hwnd);
// One control as children reports it.
JsonObject ControlJson(HWND hwnd);

// The control with this id among the descendants of a window.
HWND FindControl(HWND parent, int id);

// A window matches when class and title are equal ("*" matches anything) and, if pid is not 0, its process is pid.
bool Matches(HWND hwnd, const std::wstring& className, const std::wstring& title, DWORD pid);

}  // namespace uidriver
