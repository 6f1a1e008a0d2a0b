#include "download/FileCreator.h"

#include <utility>

#include "win/Folder.h"

FileCreator::FileCreator(size_t count, size_t ahead, std::function<CreatedFile(size_t)> make)
    : m_ahead(ahead), m_make(std::move(make)), m_made(count), m_thread([this] { Run(); }) {}

FileCreator::~FileCreator() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  m_thread.join();
  for (size_t i = m_taken; i < m_madeCount; ++i) {
    if (m_made[i].file) win::RemoveWhenClosed(m_made[i].file.Get());
  }
  // m_toClose and m_made close what they still hold.
}

CreatedFile FileCreator::Take(size_t index) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [&] { return m_madeCount > index; });
  m_taken = index + 1;
  CreatedFile taken = std::move(m_made[index]);
  lock.unlock();
  m_changed.notify_all();
  return taken;
}

void FileCreator::Close(win::FileHandle file, std::wstring name) {
  {
    std::lock_guard lock(m_mutex);
    m_toClose.emplace_back(std::move(file), std::move(name));
  }
  m_changed.notify_all();
}

CloseFailure FileCreator::Finish() {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [&] { return m_toClose.empty() && !m_closing; });
  return m_closeFailure;
}

void FileCreator::Run() {
  size_t next = 0;
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [&] {
      return m_stop || !m_toClose.empty() || (next < m_made.size() && next < m_taken + m_ahead);
    });
    if (m_stop) return;
    if (!m_toClose.empty()) {  // closing first: the writer may be waiting for Finish
      auto [file, name] = std::move(m_toClose.front());
      m_toClose.pop_front();
      m_closing = true;
      lock.unlock();
      const bool closed = CloseHandle(file.Release()) != FALSE;
      const DWORD code = closed ? ERROR_SUCCESS : GetLastError();
      lock.lock();
      m_closing = false;
      if (!closed && m_closeFailure.name.empty()) m_closeFailure = {std::move(name), code};
      m_changed.notify_all();
      continue;
    }
    lock.unlock();
    CreatedFile made;
    try {
      made = m_make(next);
    } catch (...) {
      made.file.Reset();
      made.error = L"out of memory";
    }
    lock.lock();
    m_made[next] = std::move(made);
    m_madeCount = ++next;
    m_changed.notify_all();
  }
}
