#include "Process.h"

#include <tlhelp32.h>

namespace uidriver {

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    Reset();
    m_handle = other.m_handle;
    other.m_handle = nullptr;
  }
  return *this;
}

void Handle::Reset() {
  if (*this) CloseHandle(m_handle);
  m_handle = nullptr;
}

ProcessStatus WaitProcess(DWORD pid, DWORD timeoutMs) {
  Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) {
    // A pid that names no process any more: it has ended (and nobody holds it open).
    if (GetLastError() == ERROR_INVALID_PARAMETER) return {ProcessState::Exited, std::nullopt};
    return {};
  }
  if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) return {ProcessState::Running, std::nullopt};
  DWORD code = 0;
  if (!GetExitCodeProcess(process.Get(), &code)) return {ProcessState::Exited, std::nullopt};
  return {ProcessState::Exited, code};
}

bool TerminateProcessById(DWORD pid, UINT exitCode) {
  Handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  if (!process || !TerminateProcess(process.Get(), exitCode)) return false;
  WaitForSingleObject(process.Get(), 5000);
  return true;
}

std::vector<ProcessEntry> Processes() {
  std::vector<ProcessEntry> list;
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return list;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    list.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
  }
  return list;
}

}  // namespace uidriver
