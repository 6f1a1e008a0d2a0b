// Start-up time for scripts/bench-startup: starts a program, waits until a control of a given id is
// shown in one of its windows, and prints the milliseconds since the start. The program is ended by
// force afterwards.
//   startup-bench.exe <program> <control id>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
  DWORD pid = 0;
  int id = 0;
  HWND found = nullptr;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (GetDlgCtrlID(child) == search->id && IsWindowVisible(child)) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK VisitTop(HWND top, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  if (pid != search->pid || !IsWindowVisible(top)) return TRUE;
  EnumChildWindows(top, VisitChild, data);  // all descendants
  return search->found ? FALSE : TRUE;
}

// The shown control `id` of the process, polled every millisecond for at most 30 s.
HWND WaitForControl(DWORD pid, int id) {
  for (int i = 0; i < 30000; ++i) {
    Search search{pid, id, nullptr};
    EnumWindows(VisitTop, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(1);
  }
  return nullptr;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: startup-bench.exe <program> <control id>\n");
    return 2;
  }
  std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  LARGE_INTEGER started{};
  QueryPerformanceCounter(&started);
  if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  int status = 0;
  if (WaitForControl(process.dwProcessId, _wtoi(argv[2]))) {
    LARGE_INTEGER shown{};
    QueryPerformanceCounter(&shown);
    std::wprintf(L"shown_ms=%.1f", Milliseconds(started, shown));
    std::wprintf(L"\n");
  } else {
    std::fwprintf(stderr, L"the control was not shown within 30 s\n");
    status = 1;
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return status;
}
