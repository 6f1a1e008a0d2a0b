#pragma once
// Conversions between UTF-16 text and narrow bytes, case rules, and small formatting helpers.
#include <string>
#include <string_view>
#include <windows.h>

namespace win {

// Narrow bytes to UTF-16 with the given code page (CP_ACP, CP_THREAD_ACP, CP_UTF8).
std::wstring Widen(std::string_view bytes, UINT codePage);
// UTF-16 to narrow bytes with the given code page; characters the code page lacks become '?'.
std::string Narrow(std::wstring_view text, UINT codePage);

inline std::wstring FromUtf8(std::string_view bytes) { return Widen(bytes, CP_UTF8); }
inline std::string ToUtf8(std::wstring_view text) { return Narrow(text, CP_UTF8); }

// printf-style formatting into a std::wstring / std::string (GCC 12 has no <format>).
std::wstring FormatW(const wchar_t* format, ...);
std::string Format(const char* format, ...);

// Every character lowered with towlower.
std::wstring Lower(std::wstring text);
// Whether `text` starts (ends) with `lowered`, which is given in lower case, whatever the case of `text`.
bool StartsWithNoCase(std::wstring_view text, std::wstring_view lowered);
bool EndsWithNoCase(std::wstring_view text, std::wstring_view lowered);

// Writes a line to the debugger output (visible with WINEDEBUG=+debugstr).
void DebugOut(std::wstring_view text);

}  // namespace win
