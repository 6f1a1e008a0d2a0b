// The downloader's fallback transport on WinINet, in a source file of its own: wininet.h and
// winhttp.h cannot meet in one source file.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cwchar>
#include <new>

#include "backend/TransferLimits.h"
#include "download/DownloadCommon.h"
#include "download/DownloadManager.h"
#include "download/RedirectUrl.h"
#include "win/Text.h"
#include "win/WinInetApi.h"
#include "win/WinInetHandle.h"

using download::Fail;

namespace {

// The URL that answered, after the redirects WinINet followed; "" when it cannot be read.
std::wstring AnsweringUrl(HINTERNET request) {
  const win::WinInetApi& inet = win::WinInet();
  DWORD size = 0;
  inet.InternetQueryOptionW(request, INTERNET_OPTION_URL, nullptr, &size);
  if (size == 0) return L"";
  std::wstring url(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(url.size() * sizeof(wchar_t));
  if (!inet.InternetQueryOptionW(request, INTERNET_OPTION_URL, url.data(), &size)) return L"";
  url.resize(wcsnlen(url.c_str(), url.size()));
  return url;
}

// The transfer limits on a WinINet session or request; one that cannot be set keeps the default.
void SetTimeouts(HINTERNET session) {
  const win::WinInetApi& inet = win::WinInet();
  const TransferLimits limits = CurrentTransferLimits();
  const auto set = [&inet, session](DWORD option, std::chrono::milliseconds value) {
    DWORD ms = static_cast<DWORD>(value.count());
    inet.InternetSetOptionW(session, option, &ms, sizeof(ms));
  };
  set(INTERNET_OPTION_CONNECT_TIMEOUT, limits.connect);
  set(INTERNET_OPTION_SEND_TIMEOUT, limits.send);
  set(INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receive);
  set(INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, limits.receive);
}

}  // namespace

using download::FailWithError;
using download::FailWithLastError;

DownloadManager::Result DownloadManager::DownloadFileWinInetAttempt(const std::wstring& url, HWND notifyWindow,
                                                                    const std::wstring& fileName,
                                                                    const std::wstring& folder,
                                                                    const std::string& sha256) {
  const win::WinInetApi& inet = win::WinInet();
  return download::RunAttempt(L" [WININET] ", [&] {
    if (!inet.library.Ready()) Fail(inet.library.Problem());
    const std::wstring path = PrepareTarget(url, fileName, folder);
    download::OutputFile file(path);
    file.ExpectSha256(sha256);

    win::WinInetHandle session(inet.InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) FailWithLastError(L"Failed to initialize WinINet:: ");
    SetTimeouts(session.Get());
    // WinINet follows redirects itself, relative ones included. The installer is not kept in the
    // browser cache: it goes to its own folder anyway.
    win::WinInetHandle request(inet.InternetOpenUrlW(session.Get(), url.c_str(), nullptr, 0,
                                                     INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) FailWithLastError(L"Failed to open URL:: ");
    SetTimeouts(request.Get());  // the body's reads: not every WinINet passes the session's on
    if (const std::wstring answering = AnsweringUrl(request.Get());
        !answering.empty() && IsDowngradingRedirect(url, answering)) {
      Fail(DowngradeRefusedText(answering));
    }

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!inet.HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
      FailWithLastError(L"Failed to query HTTP status code: ");
    }
    if (status != 200) {
      const DWORD error = GetLastError();
      Fail(L"Server returned status code: HTTP " + win::Decimal(static_cast<int>(status)) + L" - " +
           GetSystemErrorText(error));
    }

    uint64_t contentLength = 0;
    wchar_t lengthText[32] = {};
    size = sizeof(lengthText);
    const bool lengthKnown =
        inet.HttpQueryInfoW(request.Get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &size, nullptr) &&
        download::ParseContentLength(std::wstring_view(lengthText, size / sizeof(wchar_t)), contentLength);
    if (!lengthKnown) download::PostSizeUnknown(notifyWindow);
    if (!file.IsOpen()) FailWithError(L"Failed to open file for writing: ", file.OpenError());
    if (lengthKnown) file.CheckRoom(contentLength);

    // A read that fails is a failed download, whether the length is known or not; the cancel flag
    // is looked at before every chunk and after the last.
    download::Progress progress(notifyWindow, contentLength);
    StallWatch watch;
    char buffer[4096];
    for (;;) {
      if (m_cancelled) Fail(L"Download cancelled.");
      DWORD read = 0;
      if (!inet.InternetReadFile(request.Get(), buffer, sizeof(buffer), &read)) {
        FailWithLastError(L"Failed to read data: ");
      }
      if (read == 0) break;
      file.Write(buffer, read);
      progress.Add(read);
      if (!watch.Add(read)) Fail(watch.StalledText());
    }
    if (m_cancelled) Fail(L"Download cancelled.");
    const std::wstring saved =
        file.Finish(lengthKnown, contentLength, [] { FailWithLastError(L"Failed to open downloaded file: "); });
    progress.Finish();
    return saved;
  });
}
