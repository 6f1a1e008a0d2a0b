#pragma once
#include <string>
#include <windows.h>

namespace win {

// A string from the executable's string table (empty when it is missing).
std::wstring LoadStringResource(UINT id);

}  // namespace win
