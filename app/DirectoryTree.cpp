#include "app/DirectoryTree.h"

#include <windows.h>
#include <shlwapi.h>

#include "download/TargetPath.h"
#include "win/Handle.h"

namespace {

// Removes a file, or a link itself (a link to a folder is removed as a folder, which removes only
// the link). What cannot go now (in use, access denied) stays.
void RemoveEntry(const std::wstring& path, DWORD attributes) {
  const bool folderLink = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folderLink) {
    RemoveDirectoryW(path.c_str());
  } else {
    DeleteFileW(path.c_str());
  }
}

bool IsKept(const std::wstring& path, const std::vector<std::wstring>& keep) {
  for (const std::wstring& folder : keep) {
    if (CompareStringOrdinal(path.c_str(), -1, folder.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
  }
  return false;
}

// Calls visit(child path, is a real folder (not a link), attributes) for every entry of a folder;
// the listing is closed before the function returns.
template <typename Visit>
void ForEachEntry(const std::wstring& path, Visit&& visit) {
  WIN32_FIND_DATAW entry{};
  win::FindHandle find(FindFirstFileW((path + L"\\*").c_str(), &entry));
  if (!find) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = entry.dwFileAttributes;
    const bool realFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    visit(JoinPath(path, name), realFolder, attributes);
  } while (FindNextFileW(find.Get(), &entry));
}

// Removes the contents of a real folder, then the folder; a kept folder is left whole.
void RemoveFolder(const std::wstring& path, const std::vector<std::wstring>& keep) {
  if (IsKept(path, keep)) return;
  ForEachEntry(path, [&](const std::wstring& child, bool realFolder, DWORD attributes) {
    if (realFolder) {
      RemoveFolder(child, keep);
    } else {
      RemoveEntry(child, attributes);
    }
  });
  RemoveDirectoryW(path.c_str());  // fails, as it should, while something is left inside
}

}  // namespace

void DeleteDirectoryTree(const std::wstring& given, const std::vector<std::wstring>& keep) {
  std::wstring path = given;  // without trailing separators, so that the paths below compare as written
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || PathIsDirectoryEmptyW(path.c_str())) return;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    RemoveEntry(path, attributes);  // the folder itself is a link: only the link goes
    return;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  RemoveFolder(path, keep);
}
