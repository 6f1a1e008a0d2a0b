#pragma once
// Starting installer programs, and the ones this run started that may still be running.
#include <windows.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "win/Handle.h"

// The exit code of a process that was not waited for or not started.
constexpr DWORD kNoExitCode = 0xFFFFFFFF;

// "\"<path>\" <arguments>": the path quoted, one blank, the arguments unchanged (the blank is there
// even when they are empty).
std::wstring InstallerCommandLine(const std::wstring& path, const std::wstring& arguments);

// How a process start went: the process (empty when the start failed or it was waited for), the
// Windows error of a failed start (0 when it was started), the program that was (or was to be)
// started, and its exit code when it was waited for.
struct StartedProcess {
  win::KernelHandle process;
  DWORD error = 0;
  std::wstring path;
  DWORD exitCode = kNoExitCode;
};

// Starts `path` with `arguments` (no inherited handles, the wizard's environment, folder and
// rights). A started process is registered with RunningInstallers under `folder` (when not empty)
// until it ends.
StartedProcess StartProcess(const std::wstring& path, const std::wstring& arguments, const std::wstring& folder = L"");

// StartProcess, keeping no handle; with `wait`, waits for the process and gives its exit code.
StartedProcess RunProcess(const std::wstring& path, const std::wstring& arguments, bool wait,
                         const std::wstring& folder = L"");

// The installers this run started, each with the folder its files live in, so that removing the
// run's temporary folder spares the folders of those still running. Process-wide.
class RunningInstallers {
 public:
  static RunningInstallers& Instance();

  // Takes ownership of `process` (a handle with SYNCHRONIZE access).
  void Add(win::KernelHandle process, std::wstring folder);
  // The folders of the registered processes that have not ended yet.
  std::vector<std::wstring> FoldersInUse() const;

 private:
  mutable std::mutex m_mutex;
  std::vector<std::pair<win::KernelHandle, std::wstring>> m_processes;
};
