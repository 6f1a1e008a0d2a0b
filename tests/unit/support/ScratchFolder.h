#pragma once
// A fresh folder under the Wine prefix's temporary directory for one test, removed afterwards, and
// what a folder holds.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + name;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    std::filesystem::create_directories(m_path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& Path() const { return m_path; }
  std::wstring operator/(const std::wstring& relative) const { return m_path + L"\\" + relative; }

 private:
  std::wstring m_path;
};

// Every file and folder below `folder`, relative to it with '\' separators and folders ending in
// '\', sorted; empty when the folder does not exist.
inline std::vector<std::wstring> TreeOf(const std::wstring& folder) {
  std::vector<std::wstring> items;
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::wstring relative = std::filesystem::relative(it->path(), folder).wstring();
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    if (it->is_directory()) relative += L'\\';
    items.push_back(relative);
  }
  std::sort(items.begin(), items.end());
  return items;
}
