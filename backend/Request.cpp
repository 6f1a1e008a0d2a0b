#include "backend/Request.h"

#include <cstdio>
#include <memory>
#include <new>

#include "machine/SystemVersion.h"
#include "backend/TransferLimits.h"
#include "backend/WelvaneException.h"
#include "backend/WinHttpSession.h"
#include "win/Text.h"
#include "win/WinHttpApi.h"
#include "win/WinHttpHandle.h"

namespace {

// A configuration is a few KB and an event's answer less: a response beyond this is refused.
constexpr size_t kMaxResponseBytes = 4u << 20;

// Diagnostics go to standard output; a windowed process has none, so nobody sees them.
void Diagnostic(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

bool IsWindows7WithoutServicePack() { return IsWindowsVersionOrLater(6, 1) && !IsWindowsVersionOrLater(6, 1, 1); }

}  // namespace

bool PostJson(const std::wstring& url, const std::string& body, const HeaderList& headers, std::string& response,
              uint32_t& status) {
  if (IsWindows7WithoutServicePack()) throw WelvaneException();

  URL_COMPONENTS parts;
  if (!win::CrackUrl(url, parts)) throw WelvaneException();
  const std::wstring host(parts.lpszHostName ? parts.lpszHostName : L"", parts.dwHostNameLength);
  const std::wstring path(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);

  if (!HttpsPost(host, path, body, headers, response, status)) throw WelvaneException();
  return true;
}

bool HttpsPost(const std::wstring& host, const std::wstring& path, const std::string& body, HeaderList headers,
               std::string& response, uint32_t& status) {
  const win::WinHttpApi& http = win::WinHttp();
  const WinHttpSession session = OpenWinHttpSession(nullptr, ProxyAccessTypeForThisSystem());
  if (!session.handle) return false;
  win::WinHttpHandle connection(
      http.WinHttpConnect(session.handle.Get(), host.c_str(), INTERNET_DEFAULT_HTTPS_PORT, 0));
  if (!connection) return false;
  win::WinHttpHandle request(http.WinHttpOpenRequest(connection.Get(), L"POST", path.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                     WINHTTP_FLAG_SECURE));
  if (!request) return false;

  headers.emplace_back(L"Expect", L"100-continue");
  headers.emplace_back(L"Content-Type", L"application/json");
  for (const auto& [name, value] : headers) {
    const std::wstring line = name + L": " + value;
    if (!http.WinHttpAddRequestHeaders(request.Get(), line.c_str(), static_cast<DWORD>(-1L), WINHTTP_ADDREQ_FLAG_ADD)) {
      Diagnostic(win::Format("WinHttpAddRequestHeaders error: %d", static_cast<int>(GetLastError())));
    }
  }

  // The body goes up to its first zero byte.
  const DWORD length = static_cast<DWORD>(strnlen(body.c_str(), body.size()));
  if (!http.WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, const_cast<char*>(body.c_str()), length,
                               length, 0)) {
    return false;
  }
  if (!http.WinHttpReceiveResponse(request.Get(), nullptr)) return false;

  DWORD code = 0;
  DWORD codeSize = sizeof(code);
  http.WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &code, &codeSize, WINHTTP_NO_HEADER_INDEX);
  status = code;

  StallWatch watch;
  for (;;) {
    if (!watch.Add(0)) {
      Diagnostic("The response stalled.");
      return false;
    }
    DWORD available = 0;
    if (!http.WinHttpQueryDataAvailable(request.Get(), &available)) {
      Diagnostic(win::Format("Error %u in WinHttpQueryDataAvailable.", static_cast<unsigned>(GetLastError())));
      break;
    }
    if (available == 0) break;
    std::unique_ptr<char[]> chunk(new (std::nothrow) char[available + 1]());
    if (!chunk) {
      Diagnostic("Out of memory");
      break;
    }
    DWORD read = 0;
    if (!http.WinHttpReadData(request.Get(), chunk.get(), available, &read)) {
      // Asking again would fail the same way for ever: keep what was read so far.
      Diagnostic(win::Format("Error %u in WinHttpReadData.", static_cast<unsigned>(GetLastError())));
      break;
    }
    response.append(chunk.get(), strnlen(chunk.get(), read));  // a chunk counts up to its first zero byte
    if (response.size() > kMaxResponseBytes) {
      Diagnostic("The response is larger than the wizard takes.");
      return false;
    }
    watch.Add(read);
  }
  return true;
}
