#pragma once
// The process-wide downloader: files into a folder the caller names (WinHTTP, then WinINet as a
// fallback), and small files into memory (WinHTTP, two attempts), also on a thread of their own.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "backend/Singleton.h"
#include "download/DownloadMessages.h"
#include "download/DownloadResult.h"
#include "download/TargetPath.h"

class DownloadManager : public Singleton<DownloadManager> {
 public:
  // The accumulated error text may be non-empty on success: the text of a failed WinHTTP attempt
  // stays when the WinINet fallback succeeded.
  using Result = DownloadResult;
  using Bytes = std::unique_ptr<std::vector<char>>;

  // The wizard uses the one shared instance; tests may make instances of their own.
  DownloadManager() = default;

  // The text of a download into a folder that is not an existing directory.
  static constexpr wchar_t kInvalidPath[] = L"Invalid path";

  // Downloads `url` into `fileName` (empty: the URL's last path segment, without query and
  // fragment) in `folder`. Posts WM_DOWNLOADPROGRESS / WM_DOWNLOADSIZEUNKNOWN to `notifyWindow`
  // (may be null). A `folder` that is not an existing directory fails at once with the text
  // kInvalidPath, before any request. Tries WinHTTP, following at most 5 redirects; a body of known
  // length that breaks goes on from where it stopped (at most 3 times) when the server takes
  // ranges ("Accept-Ranges: bytes") and answers 206 with the same ETag or Last-Modified. When that fails
  // (but was not cancelled: a cancelled download ends at once), waits FallbackPause() and tries
  // WinINet with the original URL. A read error, a stalled body (see TransferLimits) or too little
  // disk room for an announced length fails either transport. When both fail, the text is
  // "[WINHTTP] <message> [WININET] <message>". The body goes to a temporary file in `folder` (see
  // download::OutputFile): a failed download leaves nothing behind, and a complete one never
  // replaces a file, it takes the next free name ("Name (1).exe"). On success the result's path is
  // the saved file's full path. Blocking: call it on a worker thread.
  //
  // `sha256` (64 hex digits, any case; empty: none) is the file's hash as the back end gave it: a
  // file with other bytes is never kept. A URL without TLS ("http:") needs one: without it the
  // download is refused before any request, as is a `sha256` that is not 64 hex digits.
  Result DownloadFile(const std::wstring& url, HWND notifyWindow, const std::wstring& fileName,
                      const std::wstring& folder, const std::wstring& sha256 = L"");
  // The fallback transport alone (text " [WININET] <message>", or kInvalidPath).
  Result DownloadFileWinInet(const std::wstring& url, HWND notifyWindow, const std::wstring& fileName,
                             const std::wstring& folder);

  // The body of `url` (WinHTTP, at most 5 redirects over the whole call, two attempts without a
  // pause, no second one after a cancel). Never null; empty when both attempts failed or the body
  // is larger than 4 MiB. Blocking.
  Bytes DownloadToMemory(const std::wstring& url);
  // Runs DownloadToMemory on a detached thread and calls `done` exactly once on that thread: with
  // the bytes, or with null when m_cancelled is set by then (or memory ran out). `done` must not be empty (throws
  // std::invalid_argument) and must not throw. The instance must outlive the call of `done`.
  void DownloadToMemoryAsync(const std::wstring& url, std::function<void(Bytes)> done);

  // Set once when the user closes the wizard; both transports' read loops stop at their next chunk.
  std::atomic<bool> m_cancelled{false};

 private:
  // DownloadFile without its last log line.
  Result DownloadFileWithFallback(const std::wstring& url, HWND notifyWindow, const std::wstring& fileName,
                                  const std::wstring& folder, const std::wstring& sha256);
  // One transport's try into an existing folder; `sha256` as checked by DownloadFile.
  Result DownloadFileWinHttpAttempt(const std::wstring& url, HWND notifyWindow, const std::wstring& fileName,
                                    const std::wstring& folder, const std::string& sha256 = "");
  Result DownloadFileWinInetAttempt(const std::wstring& url, HWND notifyWindow, const std::wstring& fileName,
                                    const std::wstring& folder, const std::string& sha256 = "");
  // The target path of a transport; throws "Invalid file name: <name>", or the output file's
  // failure for a path too long.
  static std::wstring PrepareTarget(const std::wstring& url, const std::wstring& fileName,
                                    const std::wstring& folder);
};

// A SHA-256 as 64 lowercase hex digits from the back end's text (any case); nullopt when it is not one.
std::optional<std::string> NormalizedSha256(std::wstring_view text);

// The system's message text for a Windows error code (usually ending in a line break), or "".
std::wstring GetSystemErrorText(DWORD code);
