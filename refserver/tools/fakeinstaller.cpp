// fakeinstaller: a stand-in for a real installer in tests. It appends a line describing how it was
// started to a log file when it starts and another when it ends, and exits with the code it was asked for.
//
//   fakeinstaller.exe [/EXIT=n] [/SLEEP=ms] [/LOG=path] [any other arguments]
//
// An installer started with an /APP= argument (the installer flavour's own product) sleeps for the
// milliseconds of the environment variable WELVANE_SLEEP_APP unless /SLEEP says otherwise.
//
// Log file: /LOG=path, else the environment variable WELVANE_INSTALL_LOG, else C:\welvane-installs.log.
// Lines (UTF-8, tab-separated, CRLF): local time, event=start|end, pid=<id>, exe=<own path>,
// size=<bytes of its own file>, cmd=<full command line>, exit=<code>. Options are matched without regard to case; unknown arguments are only logged.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "win/Text.h"

namespace {

// The text after `prefix` when `arg` starts with it (case-insensitive).
bool Option(const wchar_t* arg, const wchar_t* prefix, std::wstring& value) {
  const size_t length = wcslen(prefix);
  if (_wcsnicmp(arg, prefix, length) != 0) return false;
  value = arg + length;
  return true;
}

std::wstring DefaultLogPath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"WELVANE_INSTALL_LOG", buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return buffer;
  return L"C:\\welvane-installs.log";
}

std::wstring OwnPath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

std::string Timestamp() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char text[32];
  wsprintfA(text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
            t.wSecond, t.wMilliseconds);
  return text;
}

// Appends with one write, so that lines of installers running side by side do not mix.
void AppendLine(const std::wstring& path, const std::string& line) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
      return;
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION) return;
    Sleep(20);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const wchar_t* commandLine = GetCommandLineW();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
  DWORD exitCode = 0, sleepMs = 0;
  std::wstring logPath = DefaultLogPath(), value;
  wchar_t appSleep[32] = {};
  const DWORD appSleepLength = GetEnvironmentVariableW(L"WELVANE_SLEEP_APP", appSleep, 32);
  for (int i = 1; argv && i < argc; ++i) {
    if (appSleepLength > 0 && appSleepLength < 32 && Option(argv[i], L"/APP=", value)) {
      sleepMs = wcstoul(appSleep, nullptr, 10);
    }
  }
  for (int i = 1; argv && i < argc; ++i) {
    if (Option(argv[i], L"/EXIT=", value))
      exitCode = wcstoul(value.c_str(), nullptr, 10);
    else if (Option(argv[i], L"/SLEEP=", value))
      sleepMs = wcstoul(value.c_str(), nullptr, 10);
    else if (Option(argv[i], L"/LOG=", value))
      logPath = value;
  }
  if (argv) LocalFree(argv);

  const std::wstring own = OwnPath();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const unsigned long long size =
      GetFileAttributesExW(own.c_str(), GetFileExInfoStandard, &data)
          ? (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
          : 0;
  const auto line = [&](const char* event) {
    return Timestamp() + "\tevent=" + event + "\tpid=" + std::to_string(GetCurrentProcessId()) + "\texe=" +
           win::ToUtf8(own) + "\tsize=" + std::to_string(size) + "\tcmd=" + win::ToUtf8(commandLine) +
           "\texit=" + std::to_string(exitCode) + "\r\n";
  };
  AppendLine(logPath, line("start"));
  if (sleepMs) Sleep(sleepMs);
  AppendLine(logPath, line("end"));
  return static_cast<int>(exitCode);
}
