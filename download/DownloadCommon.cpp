#include "download/DownloadCommon.h"

#include <algorithm>
#include <new>

#include "download/DownloadManager.h"
#include "download/DownloadMessages.h"
#include "win/Text.h"

namespace download {

DownloadResult RunAttempt(const std::wstring& tag, const std::function<std::wstring()>& attempt) {
  DownloadResult result;
  try {
    result.path = attempt();
    result.ok = true;
  } catch (const Failure& failure) {
    result.text = tag + failure.message;
  } catch (const std::bad_alloc&) {
    result.text = tag + L"Out of memory.";
  }
  return result;
}

void Fail(std::wstring message) { throw Failure{std::move(message)}; }

void FailWithError(const wchar_t* format, DWORD code) {
  Fail(win::FormatW(format, static_cast<int>(code), GetSystemErrorText(code).c_str()));
}

void FailWithLastError(const wchar_t* format) { FailWithError(format, GetLastError()); }

namespace {

// ERROR_SUCCESS when `path` does not exist or could be replaced, else why it could not.
DWORD ReplaceError(const std::wstring& path) {
  win::FileHandle existing(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (existing) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

}  // namespace

OutputFile::OutputFile(std::wstring target) : m_target(std::move(target)) {
  m_openError = ReplaceError(m_target);
  if (m_openError != ERROR_SUCCESS) return;
  const size_t slash = m_target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"." : m_target.substr(0, slash);
  wchar_t temporary[MAX_PATH] = {};
  if (!GetTempFileNameW(folder.c_str(), L"wlv", 0, temporary)) {
    m_openError = GetLastError();
    return;
  }
  m_temporary = temporary;
  m_file.Reset(CreateFileW(m_temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!m_file) m_openError = GetLastError();
}

OutputFile::~OutputFile() {
  m_file.Reset();
  if (!m_temporary.empty()) DeleteFileW(m_temporary.c_str());
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

void OutputFile::Finish(bool lengthKnown, uint64_t contentLength, void (*cannotReadBack)()) {
  m_file.Reset();
  if (lengthKnown) {
    uint64_t downloaded = 0;
    if (!FileLength(m_temporary, downloaded)) cannotReadBack();
    CheckComplete(contentLength, downloaded);
  }
  if (!MoveFileExW(m_temporary.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    FailWithLastError(L"Failed to move the download into place: %d - %s");
  }
  m_temporary.clear();
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

bool ParseContentLength(std::wstring_view text, uint64_t& length) {
  length = 0;
  const size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring_view::npos) return false;
  text = text.substr(first, text.find_last_not_of(L" \t") + 1 - first);
  uint64_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - L'0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  length = value;
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

}  // namespace download
