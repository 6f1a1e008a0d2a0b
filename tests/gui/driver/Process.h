#pragma once
// Other processes of the prefix: alive or not, their exit codes, the list of them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

namespace uidriver {

// Owns a kernel handle.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : m_handle(handle) {}
  ~Handle() { Reset(); }
  Handle(Handle&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
  Handle& operator=(Handle&& other) noexcept;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE Get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
  void Reset();

 private:
  HANDLE m_handle = nullptr;
};

enum class ProcessState { Running, Exited, Unknown };

struct ProcessStatus {
  ProcessState state = ProcessState::Unknown;
  std::optional<DWORD> exitCode;  // when it has exited and we could still open it
};

// Waits up to timeoutMs for the process to end (0: just looks).
ProcessStatus WaitProcess(DWORD pid, DWORD timeoutMs);
bool TerminateProcessById(DWORD pid, UINT exitCode);

struct ProcessEntry {
  DWORD pid = 0;
  DWORD parentPid = 0;
  std::wstring exe;
};
std::vector<ProcessEntry> Processes();

}  // namespace uidriver
