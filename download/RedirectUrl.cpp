#include "download/RedirectUrl.h"

#include <cwctype>
#include <vector>

#include "win/Text.h"

namespace {

bool HasScheme(std::wstring_view text) {
  if (text.empty() || !std::iswalpha(text[0])) return false;
  for (size_t i = 1; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L':') return true;
    if (!(std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.')) return false;
  }
  return false;
}

struct UrlParts {
  std::wstring_view scheme;     // "https:"
  std::wstring_view authority;  // "//host:port", may be empty
  std::wstring_view path;       // "/a/b"
  std::wstring_view query;      // "?q", may be empty
};

UrlParts Split(std::wstring_view url) {
  UrlParts parts;
  url = url.substr(0, url.find(L'#'));
  const size_t colon = HasScheme(url) ? url.find(L':') : std::wstring_view::npos;
  if (colon != std::wstring_view::npos) {
    parts.scheme = url.substr(0, colon + 1);
    url.remove_prefix(colon + 1);
  }
  if (url.substr(0, 2) == L"//") {
    const size_t end = url.find_first_of(L"/?", 2);
    parts.authority = url.substr(0, end);
    url.remove_prefix(parts.authority.size());
  }
  const size_t query = url.find(L'?');
  parts.path = url.substr(0, query);
  if (query != std::wstring_view::npos) parts.query = url.substr(query);
  return parts;
}

}  // namespace

std::wstring RemoveDotSegments(std::wstring_view path) {
  const bool absolute = !path.empty() && path.front() == L'/';
  if (absolute) path.remove_prefix(1);
  std::vector<std::wstring_view> kept;
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find(L'/', start);
    const bool last = slash == std::wstring_view::npos;
    const std::wstring_view segment = path.substr(start, last ? std::wstring_view::npos : slash - start);
    if (segment == L"..") {
      if (!kept.empty()) kept.pop_back();
      if (last) kept.emplace_back();  // "/a/b/.." is the folder "/a/"
    } else if (segment == L".") {
      if (last) kept.emplace_back();
    } else {
      kept.push_back(segment);
    }
    if (last) break;
    start = slash + 1;
  }
  std::wstring result = absolute ? L"/" : L"";
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) result += L'/';
    result += kept[i];
  }
  return result;
}

std::wstring ResolveRedirect(std::wstring_view current, std::wstring_view location) {
  if (HasScheme(location)) return std::wstring(location);
  const UrlParts base = Split(current);
  const std::wstring origin = std::wstring(base.scheme) + std::wstring(base.authority);
  if (location.empty()) return origin + std::wstring(base.path) + std::wstring(base.query);
  if (location.substr(0, 2) == L"//") return std::wstring(base.scheme) + std::wstring(location);

  // The Location's own query and fragment stay as they are; only its path is merged.
  const size_t pathEnd = location.find_first_of(L"?#");
  const std::wstring_view path = location.substr(0, pathEnd);
  const std::wstring_view rest = pathEnd == std::wstring_view::npos ? std::wstring_view() : location.substr(pathEnd);
  if (path.empty()) {
    // "?q" or "#f": the current path with the new query.
    if (!rest.empty() && rest.front() == L'?') return origin + std::wstring(base.path) + std::wstring(rest);
    return origin + std::wstring(base.path) + std::wstring(base.query) + std::wstring(rest);
  }
  std::wstring merged;
  if (path.front() == L'/') {
    merged = path;
  } else if (!base.authority.empty() && base.path.empty()) {
    merged = L"/" + std::wstring(path);
  } else {
    const size_t slash = base.path.rfind(L'/');
    merged = std::wstring(slash == std::wstring_view::npos ? std::wstring_view() : base.path.substr(0, slash + 1)) +
             std::wstring(path);
  }
  return origin + RemoveDotSegments(merged) + std::wstring(rest);
}

bool IsHttps(std::wstring_view url) { return win::StartsWithNoCase(url, L"https:"); }

bool IsDowngradingRedirect(std::wstring_view from, std::wstring_view to) { return IsHttps(from) && !IsHttps(to); }

std::wstring DowngradeRefusedText(std::wstring_view to) {
  return L"Refused a redirect from HTTPS to a connection without TLS: " + std::wstring(to);
}
