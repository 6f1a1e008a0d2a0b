#include "win/Text.h"

#include <cstdarg>
#include <cstdio>
#include <cwctype>

namespace win {

std::wstring Widen(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), needed);
  return text;
}

std::string Narrow(std::wstring_view text, UINT codePage) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string bytes(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, bytes.data(), needed, nullptr, nullptr);
  return bytes;
}

namespace {

std::wstring Padded(const std::string& digits, size_t width) {
  std::wstring text(digits.size() < width ? width - digits.size() : 0, L'0');
  text.append(digits.begin(), digits.end());
  return text;
}

}  // namespace

std::wstring Decimal(std::int64_t value, size_t width) { return Padded(std::to_string(value), width); }
std::wstring Decimal(std::uint64_t value, size_t width) { return Padded(std::to_string(value), width); }

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (needed > 0) {
    text.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
  }
  va_end(args);
  return text;
}

void DebugOut(std::wstring_view text) {
  OutputDebugStringW(std::wstring(text).c_str());
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view lowered) {
  if (text.size() < lowered.size()) return false;
  for (std::size_t i = 0; i < lowered.size(); ++i) {
    if (static_cast<wchar_t>(std::towlower(text[i])) != lowered[i]) return false;
  }
  return true;
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view lowered) {
  return text.size() >= lowered.size() && StartsWithNoCase(text.substr(text.size() - lowered.size()), lowered);
}

}  // namespace win
