#include "download/DownloadCommon.h"

#include <algorithm>

#include "download/DownloadManager.h"
#include "win/AppMessages.h"
#include "win/Text.h"

namespace download {

void Fail(std::wstring message) { throw Failure{std::move(message)}; }

void FailWithError(const wchar_t* format, DWORD code) {
  Fail(win::FormatW(format, static_cast<int>(code), GetSystemErrorText(code).c_str()));
}

void FailWithLastError(const wchar_t* format) { FailWithError(format, GetLastError()); }

OutputFile::OutputFile(const std::wstring& path) {
  m_file.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!m_file) m_openError = GetLastError();
}

void OutputFile::Write(const char* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(m_file.Get(), data, size, &written, nullptr) || written == 0) {
      FailWithLastError(L"Failed to write to file: %d - %s");
    }
    data += written;
    size -= written;
  }
}

bool FileLength(const std::wstring& path, uint64_t& length) {
  win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return false;
  length = static_cast<uint64_t>(size.QuadPart);
  return true;
}

void CheckComplete(uint64_t contentLength, uint64_t downloaded) {
  if (contentLength != downloaded) {
    Fail(L"Download was incomplete: content length: " + std::to_wstring(contentLength) +
         L", downloaded: " + std::to_wstring(downloaded));
  }
}

void Progress::Add(uint64_t bytes) {
  if (m_length == 0) return;
  m_progress += static_cast<double>(bytes) / static_cast<double>(m_length);
  if (m_progress - m_reported > 0.01) {
    // A body longer than announced must not report more than the whole file.
    const int percent = std::min(100, static_cast<int>(m_progress * 100));
    if (m_window) PostMessageW(m_window, WM_DOWNLOADPROGRESS, static_cast<WPARAM>(percent), 0);
    m_reported = m_progress;
  }
}

void Progress::Finish() {
  if (m_length > 0 && m_window) PostMessageW(m_window, WM_DOWNLOADPROGRESS, 100, 0);
}

void PostSizeUnknown(HWND window) {
  if (window) PostMessageW(window, WM_DOWNLOADSIZEUNKNOWN, 0, 0);
}

void FinishFile(OutputFile& file, const std::wstring& path, bool lengthKnown, uint64_t contentLength,
                void (*cannotReadBack)()) {
  file.Close();
  if (!lengthKnown) return;
  uint64_t downloaded = 0;
  if (!FileLength(path, downloaded)) cannotReadBack();
  CheckComplete(contentLength, downloaded);
}

}  // namespace download
