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

void FileCreator::Run() {
  for (size_t i = 0; i < m_made.size(); ++i) {
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] { return m_stop || i < m_taken + m_ahead; });
      if (m_stop) return;
    }
    CreatedFile made;
    try {
      made = m_make(i);
    } catch (...) {
      made.file.Reset();
      made.error = L"out of memory";
    }
    {
      std::lock_guard lock(m_mutex);
      m_made[i] = std::move(made);
      m_madeCount = i + 1;
    }
    m_changed.notify_all();
  }
}
