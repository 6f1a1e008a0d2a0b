#pragma once
// Reading a window's system menu.
#include <optional>
#include <string>
#include <windows.h>

#include "Json.h"

namespace uidriver {

// The items of GetSystemMenu(hwnd, FALSE) as a JSON array of {id, text, type, state, separator};
// nothing when the menu cannot be read (error says why).
std::optional<JsonArray> SystemMenuItems(HWND hwnd, std::string& error);

}  // namespace uidriver
