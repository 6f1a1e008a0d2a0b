// Start-up and closing times for scripts/bench-startup: starts a program, waits until a control of
// a given id is shown in one of its windows and prints the milliseconds since the start. Then, as
// asked:
//   then <button> <control>  waits the double-click time (a wizard refuses a press within it after a
//                            page appears), clicks the button and prints the milliseconds from the
//                            click until the control is shown;
//   close                    asks the window to close, answers OK to a question if one comes, and
//                            prints the milliseconds from that answer (or from the request, where
//                            nothing is asked) until the window is gone and until the process ended.
// Whatever still runs is ended by force at the end.
//   startup-bench.exe <program> <control id> [then <button id> <control id>] [close]
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

// Polls `found` every millisecond for at most 30 s.
template <typename Found>
bool WaitFor(Found found) {
  for (int i = 0; i < 30000; ++i) {
    if (found()) return true;
    Sleep(1);
  }
  return false;
}

// The shown control `id` of the process.
HWND ShownControl(DWORD pid, int id) {
  Search search{pid, id, nullptr};
  EnumWindows(VisitTop, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct Owned {
  HWND owner = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK VisitOwned(HWND top, LPARAM data) {
  auto* owned = reinterpret_cast<Owned*>(data);
  if (GetWindow(top, GW_OWNER) != owned->owner || !IsWindowVisible(top)) return TRUE;
  owned->found = top;
  return FALSE;
}

// A shown window that `owner` owns: the question a close asks.
HWND OwnedWindow(HWND owner) {
  Owned owned{owner, nullptr};
  EnumWindows(VisitOwned, reinterpret_cast<LPARAM>(&owned));
  return owned.found;
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Run(int argc, wchar_t** argv, const PROCESS_INFORMATION& process, LARGE_INTEGER started) {
  HWND control = nullptr;
  if (!WaitFor([&] { return (control = ShownControl(process.dwProcessId, _wtoi(argv[2]))) != nullptr; })) {
    std::fwprintf(stderr, L"control %ls was not shown within 30 s\n", argv[2]);
    return 1;
  }
  std::wprintf(L"shown_ms=%.1f", Milliseconds(started, Now()));
  for (int i = 3; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"then") == 0 && i + 2 < argc) {
      Sleep(GetDoubleClickTime() + 100);
      const HWND button = ShownControl(process.dwProcessId, _wtoi(argv[i + 1]));
      if (!button) {
        std::fwprintf(stderr, L"\nno button %ls\n", argv[i + 1]);
        return 1;
      }
      const LARGE_INTEGER clicked = Now();
      PostMessageW(button, BM_CLICK, 0, 0);
      if (!WaitFor([&] { return (control = ShownControl(process.dwProcessId, _wtoi(argv[i + 2]))) != nullptr; })) {
        std::fwprintf(stderr, L"\ncontrol %ls was not shown within 30 s of the click\n", argv[i + 2]);
        return 1;
      }
      std::wprintf(L" then_ms=%.1f", Milliseconds(clicked, Now()));
      i += 2;
    } else if (std::wcscmp(argv[i], L"close") == 0) {
      const HWND top = GetAncestor(control, GA_ROOT);
      LARGE_INTEGER answered = Now();
      PostMessageW(top, WM_CLOSE, 0, 0);
      HWND question = nullptr;
      for (int wait = 0; wait < 1000 && !(question = OwnedWindow(top)) && IsWindowVisible(top); ++wait) Sleep(1);
      if (question) {
        answered = Now();
        PostMessageW(question, WM_COMMAND, IDOK, 0);
      }
      WaitFor([&] { return !IsWindowVisible(top); });
      std::wprintf(L" close_window_ms=%.1f", Milliseconds(answered, Now()));
      if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        std::fwprintf(stderr, L"\nthe process did not end within 30 s of the close\n");
        return 1;
      }
      std::wprintf(L" close_exit_ms=%.1f", Milliseconds(answered, Now()));
    }
  }
  std::wprintf(L"\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: startup-bench.exe <program> <control id> [then <button id> <control id>] [close]\n");
    return 2;
  }
  std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const LARGE_INTEGER started = Now();
  if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  const int status = Run(argc, argv, process, started);
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return status;
}
