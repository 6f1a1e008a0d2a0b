// A crash in a test program must end that program at once: in the test prefix no debugger or
// crash dialog may keep it waiting, so a crashing test fails fast instead of hanging the run.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win/Handle.h"

// Child side: crashes on purpose, only when the parent asks for it.
TEST(CrashChild, Crashes) {
  if (GetEnvironmentVariableW(L"WELVANE_CRASH_CHILD", nullptr, 0) == 0) GTEST_SKIP() << "child only";
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}

TEST(TestProgram, ACrashEndsTheCrashedProcess) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=CrashChild.*";
  // The child's output (its backtrace among it) goes nowhere: only its end matters here.
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  win::FileHandle nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                  0, nullptr));
  ASSERT_TRUE(nul);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.Get();
  startup.hStdOutput = nul.Get();
  startup.hStdError = nul.Get();
  PROCESS_INFORMATION process{};
  SetEnvironmentVariableW(L"WELVANE_CRASH_CHILD", L"1");
  const BOOL started =
      CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableW(L"WELVANE_CRASH_CHILD", nullptr);
  ASSERT_TRUE(started);
  win::KernelHandle child(process.hProcess);
  CloseHandle(process.hThread);
  // Generous: the limit only keeps this test from hanging when the prefix would wait for a click.
  const DWORD waited = WaitForSingleObject(child.Get(), 120000);
  if (waited != WAIT_OBJECT_0) TerminateProcess(child.Get(), 1);
  ASSERT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "the crashed program is still waiting";
  DWORD code = 0;
  GetExitCodeProcess(child.Get(), &code);
  EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}
