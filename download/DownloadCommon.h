#pragma once
// What the two file-download transports share: the failure they raise, the output file and the
// progress messages. Neither winhttp.h nor wininet.h is included here (the two cannot meet in one
// source file); each transport has a source file of its own.
#include <windows.h>

#include <cstdint>
#include <string>

#include "win/Handle.h"

namespace download {

// A failed step of one transport; the message is what the caller reads after the transport's tag.
struct Failure {
  std::wstring message;
};

[[noreturn]] void Fail(std::wstring message);
// `format` holds one %d and one %s: the Windows error code and its system text.
[[noreturn]] void FailWithError(const wchar_t* format, DWORD code);
// The same with GetLastError() as it is at the moment of the call.
[[noreturn]] void FailWithLastError(const wchar_t* format);

// The target file, created (or truncated) when the transport starts, before any network activity.
// A file that cannot be opened is reported later, when the body is about to be written.
class OutputFile {
 public:
  explicit OutputFile(const std::wstring& path);
  bool IsOpen() const { return static_cast<bool>(m_file); }
  DWORD OpenError() const { return m_openError; }
  // Throws "Failed to write to file: %d - %s" when the disk does not take the bytes.
  void Write(const char* data, DWORD size);
  void Close() { m_file.Reset(); }

 private:
  win::FileHandle m_file;
  DWORD m_openError = ERROR_SUCCESS;
};

// The size of a file on disk; false (with GetLastError set) when it cannot be opened.
bool FileLength(const std::wstring& path, uint64_t& length);
// Throws "Download was incomplete: content length: N, downloaded: M" when they differ.
void CheckComplete(uint64_t contentLength, uint64_t downloaded);

// Closes the written file and, when the length was announced, checks the file on disk against it.
// `cannotReadBack` raises the transport's own failure when the file cannot be opened again.
void FinishFile(OutputFile& file, const std::wstring& path, bool lengthKnown, uint64_t contentLength,
                void (*cannotReadBack)());

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
