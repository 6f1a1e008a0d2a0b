#pragma once
// The run's log, for support: a plain UTF-8 text file with one line per step, each with its local
// time, in %LOCALAPPDATA%\Welvane\Logs; the newest kKeptLogs runs are kept. It never holds request
// headers or bodies (so no signature) and stops at kMaxLogBytes. Safe to call from any thread;
// before Open (unless kept, see KeepUntilOpen), or when no file could be made, lines go nowhere.
#include <cstddef>
#include <string>
#include <string_view>

namespace runlog {

constexpr std::size_t kKeptLogs = 10;
constexpr std::size_t kMaxLogBytes = 1u << 20;
constexpr std::size_t kMaxKeptBytes = 64u << 10;

// The logs' folder: "<local application data>\Welvane\Logs".
std::wstring DefaultFolder();

// Starts this run's log in `folder` (DefaultFolder() when empty), named
// "welvane-<yyyymmdd>-<hhmmss>-<flavour>-<process id>.log", and removes the oldest logs there
// beyond kKeptLogs. The folders are made when missing, and must be real folders (never a link);
// they are held until the process ends. Returns the new file's path, or "" when none was made.
std::wstring Open(std::wstring_view flavour, const std::wstring& folder = L"");

// When no log is open: from now until the next Open, lines are kept in memory (up to
// kMaxKeptBytes) and go first into the file Open makes, so that a run can write from its start and
// make the file once its window is up.
void KeepUntilOpen();

// Appends one line (line breaks inside become blanks).
void Write(std::string_view line);
void Write(std::wstring_view line);

// Ends the log (for tests: a later Open starts another one).
void Close();

}  // namespace runlog
