// The WinHTTP side of the downloader and what both transports share. The WinINet fallback is in
// WinInetDownload.cpp (winhttp.h and wininet.h cannot meet in one source file).
#include "download/DownloadManager.h"

#include <shlwapi.h>

#include <chrono>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>

#include "backend/RunLog.h"
#include "backend/TransferLimits.h"
#include "backend/WinHttpSession.h"
#include "download/DownloadCommon.h"
#include "download/FallbackPause.h"
#include "download/RedirectUrl.h"
#include "win/Text.h"
#include "win/WinHttpApi.h"
#include "win/WinHttpHandle.h"

using download::Fail;
using download::FailWithError;
using download::FailWithLastError;

namespace {

constexpr int kMaxRedirects = 5;
// How often one WinHTTP attempt goes on with the rest of a broken body.
constexpr int kMaxResumes = 3;
constexpr wchar_t kMemoryUserAgent[] = L"A WinHTTP Example Program/1.0";
// Memory downloads are pictures of a few hundred KB: a body beyond this is refused.
constexpr size_t kMaxMemoryDownload = 4u << 20;

// The handles of one answered request; destroyed request first, session last.
struct Exchange {
  win::WinHttpHandle session;
  win::WinHttpHandle connection;
  win::WinHttpHandle request;
};

// A response header's text, whatever its length (its size is asked for first); nullopt, with
// GetLastError set, when the response has none or it cannot be read.
std::optional<std::wstring> QueryHeader(HINTERNET request, DWORD query) {
  const win::WinHttpApi& http = win::WinHttp();
  DWORD bytes = 0;
  if (http.WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                               WINHTTP_NO_HEADER_INDEX) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return std::nullopt;
  }
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!http.WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                                WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  text.resize(bytes / sizeof(wchar_t));
  return text;
}

// The same, "" for a header the response does not have.
std::wstring HeaderText(HINTERNET request, DWORD query) { return QueryHeader(request, query).value_or(L""); }

// The Location header of a redirect.
std::wstring ReadLocation(HINTERNET request) {
  std::optional<std::wstring> location = QueryHeader(request, WINHTTP_QUERY_LOCATION);
  if (!location) FailWithLastError(L"Failed to read the redirect location: ");
  return *location;
}

// The response's status code (0 when it cannot be read).
DWORD StatusCode(HINTERNET request) {
  const win::WinHttpApi& http = win::WinHttp();
  DWORD status = 0;
  DWORD size = sizeof(status);
  http.WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                           &status, &size, WINHTTP_NO_HEADER_INDEX);
  return status;
}

// Sends a GET for `url` and follows redirects itself (WinHTTP's own following is switched off),
// with a new session per hop. `url` becomes the URL that answered and `redirects` counts the hops
// (at most 5, counted across calls that share the counter). Returns an exchange with a 2xx status.
Exchange OpenFollowingRedirects(std::wstring& url, int& redirects, const wchar_t* userAgent, DWORD accessType,
                                DWORD requestFlags, const std::wstring& headers = L"") {
  const win::WinHttpApi& http = win::WinHttp();
  for (;;) {
    Exchange exchange;
    WinHttpSession session = OpenWinHttpSession(userAgent, accessType);
    if (session.failedStep == WinHttpSession::Step::Library) Fail(http.library.Problem());
    if (session.failedStep == WinHttpSession::Step::Open) {
      FailWithError(L"Failed to open HTTP session: ", session.error);
    }
    if (session.failedStep == WinHttpSession::Step::SecureProtocols) {
      FailWithError(L"Failed to set secure protocols: ", session.error);
    }
    exchange.session = std::move(session.handle);

    URL_COMPONENTS parts;
    if (!win::CrackUrl(url, parts) || !parts.lpszHostName) {
      FailWithLastError(L"Failed to read the URL: ");
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    exchange.connection.Reset(http.WinHttpConnect(exchange.session.Get(), host.c_str(), parts.nPort, 0));
    if (!exchange.connection) FailWithLastError(L"Failed to connect: ");

    // Path and query go to the server; a fragment never does.
    std::wstring object = parts.lpszUrlPath ? url.substr(static_cast<size_t>(parts.lpszUrlPath - url.c_str())) : L"";
    object = object.substr(0, object.find(L'#'));
    if (object.empty()) object = L"/";
    const DWORD flags = requestFlags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    exchange.request.Reset(http.WinHttpOpenRequest(exchange.connection.Get(), L"GET", object.c_str(), nullptr,
                                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!exchange.request) FailWithLastError(L"Failed to open request: ");
    DWORD feature = WINHTTP_DISABLE_REDIRECTS;
    if (!http.WinHttpSetOption(exchange.request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof(feature))) {
      FailWithLastError(L"Failed to switch off automatic redirects: ");
    }

    if (!http.WinHttpSendRequest(exchange.request.Get(),
                                 headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                 headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
      FailWithLastError(L"Failed to send request: ");
    }
    if (!http.WinHttpReceiveResponse(exchange.request.Get(), nullptr)) {
      FailWithLastError(L"Failed to receive response: ");
    }

    const DWORD status = StatusCode(exchange.request.Get());
    if (status >= 300 && status <= 399) {
      if (++redirects > kMaxRedirects) Fail(L"Too many redirects.");
      std::wstring next = ResolveRedirect(url, ReadLocation(exchange.request.Get()));
      if (IsDowngradingRedirect(url, next)) Fail(DowngradeRefusedText(next));
      url = std::move(next);
      continue;  // this hop's handles close here
    }
    if (status >= 200 && status <= 299) return exchange;
    Fail(L"Download failed: Server returned status code: " + win::Decimal(static_cast<int>(status)));
  }
}

// The number of body bytes the server announced; false when it sent no usable Content-Length.
bool QueryContentLength(HINTERNET request, uint64_t& length) {
  const win::WinHttpApi& http = win::WinHttp();
  length = 0;
  wchar_t text[32] = {};
  DWORD size = sizeof(text);
  if (!http.WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                                WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  return download::ParseContentLength(std::wstring_view(text, size / sizeof(wchar_t)), length);
}

// What names this very file to the server: its ETag, else its Last-Modified date ("" for neither).
std::wstring Validator(HINTERNET request) {
  const std::wstring etag = HeaderText(request, WINHTTP_QUERY_ETAG);
  return etag.empty() ? HeaderText(request, WINHTTP_QUERY_LAST_MODIFIED) : etag;
}

// The rest of a file from byte `from` on, asked of the URL that answered: only a 206 with exactly
// that range of the same file (same validator) will do; nullopt for anything else.
std::optional<Exchange> OpenRest(std::wstring url, int& redirects, uint64_t from, uint64_t length,
                                 const std::wstring& validator) {
  try {
    Exchange rest = OpenFollowingRedirects(url, redirects, nullptr, ProxyAccessTypeForThisSystem(), 0,
                                           L"Range: bytes=" + win::Decimal(from) + L"-\r\nIf-Range: " + validator);
    const std::wstring range =
        L"bytes " + win::Decimal(from) + L"-" + win::Decimal(length - 1) + L"/" + win::Decimal(length);
    if (StatusCode(rest.request.Get()) != 206 || HeaderText(rest.request.Get(), WINHTTP_QUERY_CONTENT_RANGE) != range ||
        Validator(rest.request.Get()) != validator) {
      return std::nullopt;
    }
    return rest;
  } catch (const download::Failure&) {
    return std::nullopt;
  }
}

// Reads the whole body, handing each chunk to `sink`; checks the cancel flag before every chunk
// and after the last, and fails a body that stalls.
template <typename Sink>
void ReadBody(HINTERNET request, const std::atomic<bool>& cancelled, std::vector<char>& buffer, Sink&& sink) {
  const win::WinHttpApi& http = win::WinHttp();
  StallWatch watch;
  for (;;) {
    if (cancelled) Fail(L"Download cancelled.");
    DWORD available = 0;
    if (!http.WinHttpQueryDataAvailable(request, &available)) FailWithLastError(L"Failed to query data: ");
    if (available == 0) {
      if (cancelled) Fail(L"Download cancelled.");
      return;
    }
    if (buffer.size() < static_cast<size_t>(available) + 1) {
      try {
        buffer.resize(static_cast<size_t>(available) + 1);
      } catch (const std::bad_alloc&) {
        Fail(L"Out of memory.");
      }
    }
    DWORD read = 0;
    if (!http.WinHttpReadData(request, buffer.data(), available, &read)) FailWithLastError(L"Failed to read data: ");
    sink(buffer.data(), read);
    if (!watch.Add(read)) Fail(watch.StalledText());
  }
}

}  // namespace

std::wstring GetSystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length > 0 && buffer) text.assign(buffer, length);
  if (buffer) LocalFree(buffer);
  return text;
}

std::wstring DownloadManager::PrepareTarget(const std::wstring& url, const std::wstring& fileName,
                                            const std::wstring& folder) {
  const std::wstring name = fileName.empty() ? FileNameFromUrl(url) : fileName;
  if (!IsSafeFileName(name)) Fail(L"Invalid file name: " + name);
  std::wstring path = folder;
  if (!AppendPath(path, name)) FailWithError(L"Failed to open file for writing: ", ERROR_FILENAME_EXCED_RANGE);
  return path;
}

std::optional<std::string> NormalizedSha256(std::wstring_view text) {
  if (text.size() != 64) return std::nullopt;
  std::string hex;
  for (const wchar_t c : text) {
    if (c >= L'0' && c <= L'9') hex += static_cast<char>(c);
    else if (c >= L'a' && c <= L'f') hex += static_cast<char>(c);
    else if (c >= L'A' && c <= L'F') hex += static_cast<char>(c - L'A' + L'a');
    else return std::nullopt;
  }
  return hex;
}

namespace {

// One line of the run's log for a transfer that ended: its transport, size and time, or its error.
void LogTransfer(const std::wstring& url, const char* transport, const DownloadManager::Result& result,
                 std::chrono::steady_clock::time_point start) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  std::string line = "Download of " + win::ToUtf8(url) + " over " + transport;
  if (result.ok) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const uint64_t size = GetFileAttributesExW(result.path.c_str(), GetFileExInfoStandard, &data)
                              ? (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow
                              : 0;
    line += ": " + std::to_string(size) + " bytes in " + std::to_string(ms.count()) + " ms, saved as " +
            win::ToUtf8(result.path);
  } else {
    line += " failed after " + std::to_string(ms.count()) + " ms: " + win::ToUtf8(result.text);
  }
  runlog::Write(line);
}

}  // namespace

DownloadManager::Result DownloadManager::DownloadFile(const std::wstring& url, HWND notifyWindow,
                                                      const std::wstring& fileName, const std::wstring& folder,
                                                      const std::wstring& sha256) {
  const Result result = DownloadFileWithFallback(url, notifyWindow, fileName, folder, sha256);
  if (!result.ok) runlog::Write(L"DOWNLOAD FAILED: " + result.text);
  return result;
}

DownloadManager::Result DownloadManager::DownloadFileWithFallback(const std::wstring& url, HWND notifyWindow,
                                                                  const std::wstring& fileName,
                                                                  const std::wstring& folder,
                                                                  const std::wstring& sha256) {
  // The other transport would find the same folder: no request, no fallback.
  if (!PathIsDirectoryW(folder.c_str())) return {false, kInvalidPath, L""};
  // What came without TLS is started only when its bytes are the ones the back end named.
  const std::optional<std::string> hash = sha256.empty() ? std::optional<std::string>("") : NormalizedSha256(sha256);
  if (!hash) return {false, L"Invalid SHA-256: " + sha256, L""};
  if (hash->empty() && !IsHttps(url)) return {false, L"Refused without TLS and without a SHA-256: " + url, L""};
  auto start = std::chrono::steady_clock::now();
  Result result = DownloadFileWinHttpAttempt(url, notifyWindow, fileName, folder, *hash);
  LogTransfer(url, "WinHTTP", result, start);
  if (result.ok || m_cancelled) return result;  // a cancelled download ends here, without the fallback

  // The pause ends early when the download is cancelled, and then nothing more is asked.
  const auto resume = std::chrono::steady_clock::now() + FallbackPause();
  while (!m_cancelled && std::chrono::steady_clock::now() < resume) Sleep(20);
  if (m_cancelled) return result;
  runlog::Write("Download of " + win::ToUtf8(url) + ": trying again over WinINet");
  start = std::chrono::steady_clock::now();
  const Result winInet = DownloadFileWinInetAttempt(url, notifyWindow, fileName, folder, *hash);
  LogTransfer(url, "WinINet", winInet, start);
  if (winInet.ok) {
    result.ok = true;  // the WinHTTP text stays
    result.path = winInet.path;
  } else {
    result.text += winInet.text;
  }
  return result;
}

DownloadManager::Result DownloadManager::DownloadFileWinInet(const std::wstring& url, HWND notifyWindow,
                                                             const std::wstring& fileName,
                                                             const std::wstring& folder) {
  if (!PathIsDirectoryW(folder.c_str())) return {false, kInvalidPath, L""};
  return DownloadFileWinInetAttempt(url, notifyWindow, fileName, folder);
}

DownloadManager::Result DownloadManager::DownloadFileWinHttpAttempt(const std::wstring& url, HWND notifyWindow,
                                                                    const std::wstring& fileName,
                                                                    const std::wstring& folder,
                                                                    const std::string& sha256) {
  return download::RunAttempt(L"[WINHTTP] ", [&] {
    const std::wstring path = PrepareTarget(url, fileName, folder);
    download::OutputFile file(path);
    file.ExpectSha256(sha256);

    std::wstring workingUrl = url;
    int redirects = 0;
    Exchange exchange = OpenFollowingRedirects(workingUrl, redirects, nullptr, ProxyAccessTypeForThisSystem(), 0);

    uint64_t contentLength = 0;
    const bool lengthKnown = QueryContentLength(exchange.request.Get(), contentLength);
    if (!lengthKnown) download::PostSizeUnknown(notifyWindow);
    if (!file.IsOpen()) FailWithError(L"Failed to open file for writing: ", file.OpenError());
    if (lengthKnown) file.CheckRoom(contentLength);

    download::Progress progress(notifyWindow, contentLength);
    std::vector<char> buffer;
    uint64_t received = 0;
    const auto sink = [&](const char* data, DWORD size) {
      file.Write(data, size);
      progress.Add(size);
      received += size;
    };
    // A body that breaks goes on where it stopped, a few times, when the server names the file and
    // takes ranges of it; otherwise (or after that) the attempt fails as it is.
    const bool ranges = HeaderText(exchange.request.Get(), WINHTTP_QUERY_ACCEPT_RANGES) == L"bytes";
    const std::wstring validator = lengthKnown && ranges ? Validator(exchange.request.Get()) : L"";
    // A body that ends early without an error is a break too; when it cannot go on, the length
    // check below fails it with its own text.
    Exchange body = std::move(exchange);
    for (int resumes = 0;; ++resumes) {
      std::exception_ptr failure;
      try {
        ReadBody(body.request.Get(), m_cancelled, buffer, sink);
      } catch (const download::Failure&) {
        failure = std::current_exception();
      }
      const bool broken = failure || (lengthKnown && received < contentLength);
      std::optional<Exchange> rest;
      if (broken && !m_cancelled && !validator.empty() && resumes < kMaxResumes && received > 0 &&
          received < contentLength) {
        rest = OpenRest(workingUrl, redirects, received, contentLength, validator);
      }
      if (!rest) {
        if (failure) std::rethrow_exception(failure);
        break;
      }
      body = std::move(*rest);
    }
    const std::wstring saved = file.Finish(lengthKnown, contentLength, [] { Fail(L"Failed to open downloaded file."); });
    progress.Finish();
    return saved;
  });
}

DownloadManager::Bytes DownloadManager::DownloadToMemory(const std::wstring& url) {
  auto bytes = std::make_unique<std::vector<char>>();
  std::wstring workingUrl = url;
  int redirects = 0;  // one count for the whole call
  for (int attempt = 0; attempt < 2 && !m_cancelled; ++attempt) {
    try {
      const Exchange exchange = OpenFollowingRedirects(workingUrl, redirects, kMemoryUserAgent,
                                                       WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_FLAG_REFRESH);
      std::vector<char> buffer;
      ReadBody(exchange.request.Get(), m_cancelled, buffer, [&](const char* data, DWORD size) {
        if (bytes->size() + size > kMaxMemoryDownload) Fail(L"Too large.");
        bytes->insert(bytes->end(), data, data + size);
      });
      runlog::Write("Image " + win::ToUtf8(url) + ": " + std::to_string(bytes->size()) + " bytes");
      return bytes;
    } catch (const download::Failure& failure) {
      runlog::Write("Image " + win::ToUtf8(url) + ", attempt " + std::to_string(attempt + 1) +
                    " failed: " + win::ToUtf8(failure.message));
      bytes->clear();  // the next attempt starts at once
    } catch (const std::bad_alloc&) {
      bytes->clear();
      bytes->shrink_to_fit();
    }
  }
  return bytes;
}

void DownloadManager::DownloadToMemoryAsync(const std::wstring& url, std::function<void(Bytes)> done) {
  if (!done) throw std::invalid_argument("DownloadToMemoryAsync needs a completion callable");
  std::thread([this, url, done = std::move(done)] {
    Bytes bytes;
    try {
      bytes = DownloadToMemory(url);
    } catch (const std::bad_alloc&) {
      bytes.reset();
    }
    if (m_cancelled) {
      done(nullptr);
    } else {
      done(std::move(bytes));
    }
  }).detach();
}
