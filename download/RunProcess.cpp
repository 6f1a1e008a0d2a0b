#include "download/RunProcess.h"

#include "backend/RunLog.h"
#include "win/Text.h"

std::wstring InstallerCommandLine(const std::wstring& path, const std::wstring& arguments) {
  return L"\"" + path + L"\" " + arguments;
}

StartedProcess StartProcess(const std::wstring& path, const std::wstring& arguments, const std::wstring& folder) {
  std::wstring commandLine = InstallerCommandLine(path, arguments);  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  const std::string logged = win::ToUtf8(commandLine);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    const DWORD error = GetLastError();
    runlog::Write("Could not start " + logged + " (error " + std::to_string(error) + ")");
    return {win::KernelHandle(), error, path};
  }
  runlog::Write("Started " + logged + " (process " + std::to_string(info.dwProcessId) + ")");
  win::KernelHandle process(info.hProcess);
  CloseHandle(info.hThread);
  if (!folder.empty()) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), process.Get(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0)) {
      RunningInstallers::Instance().Add(win::KernelHandle(copy), folder);
    }
  }
  return {std::move(process), 0, path};
}

StartedProcess RunProcess(const std::wstring& path, const std::wstring& arguments, bool wait,
                          const std::wstring& folder) {
  StartedProcess started = StartProcess(path, arguments, folder);
  if (started.error != 0) return started;
  if (wait) {
    WaitForSingleObject(started.process.Get(), INFINITE);
    if (!GetExitCodeProcess(started.process.Get(), &started.exitCode)) started.exitCode = kNoExitCode;
    runlog::Write(win::ToUtf8(path) + " ended with exit code " + std::to_string(started.exitCode));
  }
  started.process.Reset();
  return started;
}

RunningInstallers& RunningInstallers::Instance() {
  static RunningInstallers instance;
  return instance;
}

void RunningInstallers::Add(win::KernelHandle process, std::wstring folder) {
  std::lock_guard lock(m_mutex);
  m_processes.emplace_back(std::move(process), std::move(folder));
}

std::vector<std::wstring> RunningInstallers::FoldersInUse() const {
  std::lock_guard lock(m_mutex);
  std::vector<std::wstring> folders;
  for (const auto& [process, folder] : m_processes) {
    if (WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) folders.push_back(folder);
  }
  return folders;
}
