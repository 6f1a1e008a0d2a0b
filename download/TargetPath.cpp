#include "download/TargetPath.h"
#include "win/Text.h"

#include <shlwapi.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <cwctype>

namespace {

// Where the path of an absolute URL starts ("https://host/path" -> the index of "/path"), or 0 for
// text without "scheme://".
size_t PathStart(std::wstring_view url) {
  const size_t scheme = url.find(L"://");
  if (scheme == std::wstring_view::npos) return 0;
  const size_t authority = scheme + 3;
  const size_t end = url.find_first_of(L"/?#", authority);
  return end == std::wstring_view::npos ? url.size() : end;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towupper(x) == std::towupper(y);
         });
}

bool IsDeviceName(std::wstring_view name) {
  // Windows looks at the part before the first dot, trailing blanks ignored: "nul.txt", "COM1 .log".
  std::wstring_view base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  static constexpr std::array<std::wstring_view, 6> kPlain{L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const auto device : kPlain) {
    if (EqualsIgnoringCase(base, device)) return true;
  }
  if (base.size() == 4 && (EqualsIgnoringCase(base.substr(0, 3), L"COM") || EqualsIgnoringCase(base.substr(0, 3), L"LPT"))) {
    const wchar_t digit = base[3];
    // The superscript digits one to three count as well.
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
  }
  return false;
}

}  // namespace

std::wstring FileNameFromUrl(std::wstring_view url) {
  url = url.substr(0, url.find(L'#'));
  url = url.substr(0, url.find(L'?'));
  const size_t pathStart = PathStart(url);
  const std::wstring_view path = url.substr(pathStart);
  const size_t slash = path.rfind(L'/');
  if (slash == std::wstring_view::npos) {
    // A text without '/' names nothing; an absolute URL without a path names nothing either.
    return {};
  }
  return std::wstring(path.substr(slash + 1));
}

bool IsSafeFileName(std::wstring_view name) {
  if (name.empty() || name.size() > 255) return false;
  for (const wchar_t c : name) {
    if (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c) != nullptr) return false;
  }
  if (name.back() == L'.' || name.back() == L' ') return false;
  return !IsDeviceName(name);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative) {
  if (relative.empty()) return folder;
  if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + relative;
  return folder + L'\\' + relative;
}

BOOL AppendPath(std::wstring& path, const std::wstring& more) {
  std::wstring buffer = path;
  buffer.resize(std::max<size_t>(MAX_PATH, path.size() + more.size() + 2), L'\0');
  const BOOL appended = PathAppendW(buffer.data(), more.c_str());
  if (appended) {
    buffer.resize(std::wcslen(buffer.c_str()));
    path = std::move(buffer);
  }
  return appended;
}

std::wstring NumberedFileName(std::wstring_view name, int n) {
  if (n == 0) return std::wstring(name);
  const size_t dot = name.rfind(L'.');
  const size_t stem = dot == std::wstring_view::npos || dot == 0 ? name.size() : dot;
  return std::wstring(name.substr(0, stem)) + L" (" + win::Decimal(n) + L")" + std::wstring(name.substr(stem));
}
