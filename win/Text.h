#pragma once
// Conversions between UTF-16 text and narrow bytes, case rules, and small formatting helpers.
#include <concepts>
#include <cstdint>
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

// printf-style formatting into a std::string (GCC 12 has no <format>).
std::string Format(const char* format, ...);

// The decimal digits of a whole number, zero-padded to at least `width`. Unlike std::to_wstring,
// which formats through the C library's wide printf, this brings no printf into the program.
std::wstring Decimal(std::int64_t value, size_t width = 0);
std::wstring Decimal(std::uint64_t value, size_t width = 0);
template <std::integral T>
std::wstring Decimal(T value, size_t width = 0) {
  if constexpr (std::is_signed_v<T>) {
    return Decimal(static_cast<std::int64_t>(value), width);
  } else {
    return Decimal(static_cast<std::uint64_t>(value), width);
  }
}

// Every character lowered with towlower.
std::wstring Lower(std::wstring text);
// Whether `text` starts (ends) with `lowered`, which is given in lower case, whatever the case of `text`.
bool StartsWithNoCase(std::wstring_view text, std::wstring_view lowered);
bool EndsWithNoCase(std::wstring_view text, std::wstring_view lowered);

// Writes a line to the debugger output (visible with WINEDEBUG=+debugstr).
void DebugOut(std::wstring_view text);

}  // namespace win
