#pragma once
// What the two file-download transports share: the failure they raise, the output file and the
// progress messages. Neither winhttp.h nor wininet.h is included here (the two cannot meet in one
// source file); each transport has a source file of its own.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "backend/Sha256.h"
#include "download/DownloadResult.h"
#include "win/Handle.h"

namespace download {

// A failed step of one transport; the message is what the caller reads after the transport's tag.
struct Failure {
  std::wstring message;
};

[[noreturn]] void Fail(std::wstring message);
// One transport's attempt: `attempt` returns the saved file's path or raises a Failure, which
// becomes the result's text after `tag` (as does running out of memory).
DownloadResult RunAttempt(const std::wstring& tag, const std::function<std::wstring()>& attempt);

// Fails with "<what><code> - <system text>": `what` ends in ": ".
[[noreturn]] void FailWithError(const wchar_t* what, DWORD code);
// The same with GetLastError() as it is at the moment of the call.
[[noreturn]] void FailWithLastError(const wchar_t* what);

// The file a transport downloads into. The body goes to a new temporary file in the target's
// folder, marked for deletion from the moment it exists: a download that fails, is cancelled, or is
// cut short by the end of the process leaves nothing behind. Only a complete download is kept, and
// it never replaces a file: it takes the target's name, or the first free numbered one
// ("Name (1).exe", "Name (2).exe", ...). Made when the transport starts, before any network
// activity; a file that cannot be made is reported later, when the body is about to be written.
class OutputFile {
 public:
  // `target` is a full path.
  explicit OutputFile(std::wstring target);
  ~OutputFile() = default;  // closing the handle deletes a file that was not kept
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool IsOpen() const { return static_cast<bool>(m_file); }
  DWORD OpenError() const { return m_openError; }
  // Before the first byte of a body of known length: throws "Not enough disk space: ..." when the
  // folder's volume has less room than `length`.
  void CheckRoom(uint64_t length) const;
  // The file is kept only when its bytes have this SHA-256 (64 lowercase hex digits; empty: any).
  void ExpectSha256(std::string hex) { m_expectedSha256 = std::move(hex); }
  // Throws "Failed to write to file: <code> - <text>" when the disk does not take the bytes.
  void Write(const char* data, DWORD size);
  // When the length was announced, checks the written size against it (`cannotReadBack` raises
  // the transport's own failure when the size cannot be read), and the SHA-256 when one is expected
  // ("SHA-256 mismatch: expected X, got Y"); then keeps the file under the first free name ("Failed
  // to move the download into place: <code> - <text>") and returns its path.
  std::wstring Finish(bool lengthKnown, uint64_t contentLength, void (*cannotReadBack)());

 private:
  std::wstring m_target;
  std::wstring m_temporary;
  win::FileHandle m_file;
  DWORD m_openError = ERROR_SUCCESS;
  std::string m_expectedSha256;
  Sha256 m_hash;
};

// A Content-Length header's value as a 64-bit number: decimal digits only, blanks around them
// allowed. False (length 0) for anything else, a number too large for 64 bits included.
bool ParseContentLength(std::wstring_view text, uint64_t& length);

// Throws "Download was incomplete: content length: N, downloaded: M" when they differ.
void CheckComplete(uint64_t contentLength, uint64_t downloaded);

// Percentage messages for one file. A null window receives nothing.
class Progress {
 public:
  // `contentLength` 0 means unknown (or empty): no percentages then.
  Progress(HWND window, uint64_t contentLength) : m_window(window), m_length(contentLength) {}
  // Posts WM_DOWNLOADPROGRESS when the share received has grown by more than one point.
  void Add(uint64_t bytes);
  // Posts the final 100 when the length is known and not 0.
  void Finish();

 private:
  HWND m_window;
  uint64_t m_length;
  double m_progress = 0.0;
  double m_reported = 0.0;
};

// Posts WM_DOWNLOADSIZEUNKNOWN to the window (if any).
void PostSizeUnknown(HWND window);

}  // namespace download
