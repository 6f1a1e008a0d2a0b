#include "backend/RunLog.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "machine/KnownFolder.h"
#include "win/Folder.h"
#include "win/Handle.h"
#include "win/Text.h"

namespace runlog {
namespace {

constexpr std::wstring_view kPrefix = L"welvane-";
constexpr std::wstring_view kSuffix = L".log";

struct State {
  std::mutex mutex;
  std::vector<win::FileHandle> folders;  // held while the log is written
  win::FileHandle file;
  std::size_t written = 0;
  bool full = false;
  bool keeping = false;  // lines written before Open wait in `kept`
  std::string kept;
};

State& TheLog() {
  static State* state = new State();  // never destroyed: workers may still write while the process ends
  return *state;
}

// `path` as a real folder (made when missing), held in `held`.
bool HoldFolder(const std::wstring& path, std::vector<win::FileHandle>& held) {
  CreateDirectoryW(path.c_str(), nullptr);
  win::FileHandle folder = win::OpenRealFolder(path);
  if (!folder) return false;
  held.push_back(std::move(folder));
  return true;
}

bool IsLogName(const std::wstring& name) {
  return name.size() > kPrefix.size() + kSuffix.size() && name.compare(0, kPrefix.size(), kPrefix) == 0 &&
         name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// Removes the oldest logs (their names begin with the time) beyond kKeptLogs; links and folders
// are left alone.
void RemoveOldLogs(HANDLE folderHandle, const std::wstring& folder) {
  std::vector<std::wstring> logs;
  for (std::wstring& name : win::ListFolder(folderHandle)) {
    if (IsLogName(name)) logs.push_back(std::move(name));
  }
  if (logs.size() <= kKeptLogs) return;
  std::sort(logs.begin(), logs.end());
  for (std::size_t i = 0; i + kKeptLogs < logs.size(); ++i) {
    win::OpenedEntry entry = win::OpenEntry(folder + L"\\" + logs[i], DELETE);
    if (entry.handle && !entry.folder && !entry.link) win::RemoveWhenClosed(entry.handle.Get());
  }
}

std::string Stamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
            now.wSecond, now.wMilliseconds);
  return text;
}

void Append(State& log, const std::string& text) {
  DWORD written = 0;
  WriteFile(log.file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  log.written += written;
}

}  // namespace

std::wstring DefaultFolder() {
  const std::wstring base = GetKnownFolder(FOLDERID_LocalAppData);
  return base.empty() ? L"" : base + L"\\Welvane\\Logs";
}

std::wstring Open(std::wstring_view flavour, const std::wstring& given) {
  State& log = TheLog();
  std::lock_guard<std::mutex> lock(log.mutex);
  log.file.Reset();
  log.folders.clear();
  log.written = 0;
  log.full = false;
  const std::string kept = std::move(log.kept);
  log.kept.clear();
  log.keeping = false;
  const std::wstring folder = given.empty() ? DefaultFolder() : given;
  if (folder.empty()) return L"";
  if (given.empty() && !HoldFolder(folder.substr(0, folder.find_last_of(L'\\')), log.folders)) return L"";
  if (!HoldFolder(folder, log.folders)) return L"";

  SYSTEMTIME now{};
  GetLocalTime(&now);
  const std::wstring name = L"welvane-" + win::Decimal(now.wYear, 4) + win::Decimal(now.wMonth, 2) +
                            win::Decimal(now.wDay, 2) + L"-" + win::Decimal(now.wHour, 2) + win::Decimal(now.wMinute, 2) +
                            win::Decimal(now.wSecond, 2) + L"-" +
                            std::wstring(flavour) + L"-" + win::Decimal(GetCurrentProcessId());
  std::wstring path;
  for (int n = 0; n < 100 && !log.file; ++n) {
    path = folder + L"\\" + name + (n ? L"-" + win::Decimal(n) : L"") + std::wstring(kSuffix);
    // CREATE_NEW: never an existing file, nor what a link of that name points to.
    log.file.Reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.file && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (!log.file) return L"";
  if (!kept.empty()) Append(log, kept);
  RemoveOldLogs(log.folders.back().Get(), folder);
  return path;
}

void Write(std::string_view line) {
  State& log = TheLog();
  std::lock_guard<std::mutex> lock(log.mutex);
  if (!(log.file || log.keeping) || log.full) return;
  std::string text = Stamp();
  text.append(line);
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  text += "\r\n";
  if (!log.file) {
    if (log.kept.size() + text.size() <= kMaxKeptBytes) log.kept += text;
    return;
  }
  if (log.written + text.size() > kMaxLogBytes) {
    log.full = true;
    Append(log, Stamp() + "The log is full: later steps are not written.\r\n");
    return;
  }
  Append(log, text);
}

void Write(std::wstring_view line) { Write(win::ToUtf8(line)); }

void KeepUntilOpen() {
  State& log = TheLog();
  std::lock_guard<std::mutex> lock(log.mutex);
  if (!log.file) log.keeping = true;
}

void Close() {
  State& log = TheLog();
  std::lock_guard<std::mutex> lock(log.mutex);
  log.kept.clear();
  log.keeping = false;
  log.file.Reset();
  log.folders.clear();
}

}  // namespace runlog
