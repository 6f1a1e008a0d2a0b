#pragma once
// Creates the files an unpacking writes, on a thread of its own, a few entries ahead of the
// writing, and closes them once written: creating and closing a file cost the system far more than
// writing a small one, and this way they overlap with the writing.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "win/Handle.h"

// What making one entry gave: its open file (none for a folder), or why it failed.
struct CreatedFile {
  win::FileHandle file;
  std::wstring error;  // empty when it worked
};

// A written file whose closing failed: its name for messages and the system's error code.
struct CloseFailure {
  std::wstring name;
  DWORD code = ERROR_SUCCESS;
};

class FileCreator {
 public:
  // Calls make(0), make(1), ... make(count - 1) in order on its own thread, never more than `ahead`
  // beyond the result taken last. A file must be opened with DELETE access: one made but never
  // taken is removed.
  FileCreator(size_t count, size_t ahead, std::function<CreatedFile(size_t)> make);
  // Stops the thread after what it is doing, removes the files nobody took and closes those handed
  // back.
  ~FileCreator();
  FileCreator(const FileCreator&) = delete;
  FileCreator& operator=(const FileCreator&) = delete;

  // Waits for entry `index` (taken in order) and hands it over.
  CreatedFile Take(size_t index);
  // Hands back a written file, to be closed on the creator's thread.
  void Close(win::FileHandle file, std::wstring name);
  // Waits until every file handed back is closed; the first that could not be closed, if any.
  CloseFailure Finish();

 private:
  void Run();

  const size_t m_ahead;
  std::function<CreatedFile(size_t)> m_make;
  std::vector<CreatedFile> m_made;
  std::deque<std::pair<win::FileHandle, std::wstring>> m_toClose;
  CloseFailure m_closeFailure;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  size_t m_madeCount = 0;  // entries whose result is in m_made
  size_t m_taken = 0;      // entries handed over
  bool m_closing = false;  // the thread is closing a file it took from m_toClose
  bool m_stop = false;
  std::thread m_thread;  // last: starts once everything above exists
};
