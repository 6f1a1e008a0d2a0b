#pragma once
// Creates the files an unpacking writes, on a thread of its own, a few entries ahead of the
// writing: creating a file costs the system far more than writing a small one, and the two
// overlap this way.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win/Handle.h"

// What making one entry gave: its open file (none for a folder), or why it failed.
struct CreatedFile {
  win::FileHandle file;
  std::wstring error;  // empty when it worked
};

class FileCreator {
 public:
  // Calls make(0), make(1), ... make(count - 1) in order on its own thread, never more than `ahead`
  // beyond the result taken last. A file must be opened with DELETE access: one made but never
  // taken is removed.
  FileCreator(size_t count, size_t ahead, std::function<CreatedFile(size_t)> make);
  // Stops the thread after the entry it is making and removes the files nobody took.
  ~FileCreator();
  FileCreator(const FileCreator&) = delete;
  FileCreator& operator=(const FileCreator&) = delete;

  // Waits for entry `index` (taken in order) and hands it over.
  CreatedFile Take(size_t index);

 private:
  void Run();

  const size_t m_ahead;
  std::function<CreatedFile(size_t)> m_make;
  std::vector<CreatedFile> m_made;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  size_t m_madeCount = 0;  // entries whose result is in m_made
  size_t m_taken = 0;      // entries handed over
  bool m_stop = false;
  std::thread m_thread;  // last: starts once everything above exists
};
