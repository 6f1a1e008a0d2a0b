#include "download/DownloadCommon.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "download/DownloadManager.h"
#include "download/DownloadMessages.h"
#include "download/TargetPath.h"
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

void FailWithError(const wchar_t* what, DWORD code) {
  Fail(what + win::Decimal(static_cast<int>(code)) + L" - " + GetSystemErrorText(code));
}

void FailWithLastError(const wchar_t* what) { FailWithError(what, GetLastError()); }

namespace {

// The most numbered names tried before a download gives up finding a free one.
constexpr int kMaxNumberedNames = 1000;

bool MarkForDeletion(HANDLE file, bool deleted) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleted ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

}  // namespace

OutputFile::OutputFile(std::wstring target) : m_target(std::move(target)) {
  std::wstring folder = FolderOf(m_target);
  if (folder.empty()) folder = L".";
  // A name nobody holds: CREATE_NEW neither opens an existing file nor follows a link in its place.
  static std::atomic<unsigned> counter{0};
  for (int tries = 0; tries < 100 && !m_file; ++tries) {
    const unsigned unique = (GetTickCount() ^ (GetCurrentThreadId() << 8) ^ (counter++ * 2654435761u)) & 0xFFFFu;
    wchar_t temporary[MAX_PATH] = {};
    if (!GetTempFileNameW(folder.c_str(), L"wlv", unique == 0 ? 1 : unique, temporary)) break;
    m_file.Reset(CreateFileW(temporary, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (m_file) m_temporary = temporary;
    else if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  if (!m_file) {
    m_openError = GetLastError() == ERROR_SUCCESS ? ERROR_FILE_EXISTS : GetLastError();
    return;
  }
  if (!MarkForDeletion(m_file.Get(), true)) {
    m_openError = GetLastError();
    m_file.Reset();
    DeleteFileW(m_temporary.c_str());
  }
}

void OutputFile::CheckRoom(uint64_t length) const {
  ULARGE_INTEGER available{};
  // When the room cannot be told, the writes will.
  if (!GetDiskFreeSpaceExW(FolderOf(m_temporary).c_str(), &available, nullptr, nullptr)) return;
  if (available.QuadPart < length) {
    Fail(L"Not enough disk space: " + win::Decimal(length) + L" bytes needed, " +
         win::Decimal(available.QuadPart) + L" free.");
  }
}

void OutputFile::Write(const char* data, DWORD size) {
  if (!m_expectedSha256.empty()) m_hash.Update(std::string_view(data, size));
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(m_file.Get(), data, size, &written, nullptr) || written == 0) {
      FailWithLastError(L"Failed to write to file: ");
    }
    data += written;
    size -= written;
  }
}

std::wstring OutputFile::Finish(bool lengthKnown, uint64_t contentLength, void (*cannotReadBack)()) {
  if (lengthKnown) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_file.Get(), &size)) cannotReadBack();
    CheckComplete(contentLength, static_cast<uint64_t>(size.QuadPart));
  }
  if (!m_expectedSha256.empty() && m_hash.HexDigest() != m_expectedSha256) {
    Fail(L"SHA-256 mismatch: expected " + win::FromUtf8(m_expectedSha256) + L", got " +
         win::FromUtf8(m_hash.HexDigest()));
  }
  if (!MarkForDeletion(m_file.Get(), false)) FailWithLastError(L"Failed to move the download into place: ");
  m_file.Reset();
  const std::wstring folder = FolderOf(m_target);
  const std::wstring name = m_target.substr(folder.size());
  DWORD error = ERROR_FILE_EXISTS;
  for (int n = 0; n <= kMaxNumberedNames; ++n) {
    const std::wstring path = folder + NumberedFileName(name, n);
    // Without MOVEFILE_REPLACE_EXISTING: a name that is taken, even at this very moment, is left alone.
    if (MoveFileExW(m_temporary.c_str(), path.c_str(), 0)) return path;
    error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  DeleteFileW(m_temporary.c_str());
  FailWithError(L"Failed to move the download into place: ", error);
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
    Fail(L"Download was incomplete: content length: " + win::Decimal(contentLength) +
         L", downloaded: " + win::Decimal(downloaded));
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
