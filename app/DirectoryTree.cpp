#include "app/DirectoryTree.h"

#include <windows.h>

#include "download/TargetPath.h"
#include "win/Folder.h"

namespace {

bool IsKept(const std::wstring& path, const std::vector<std::wstring>& keep) {
  for (const std::wstring& folder : keep) {
    if (CompareStringOrdinal(path.c_str(), -1, folder.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
  }
  return false;
}

// Removes what `folder` (a real folder, held open at `path`) holds, then the folder itself. Each
// entry is opened first and judged by its handle: a link is removed itself, a real folder is
// emptied while held, so that nothing can be put in place of either between the look and the
// removal. A kept folder is left whole.
void RemoveFolder(const std::wstring& path, win::OpenedEntry folder, const std::vector<std::wstring>& keep) {
  if (IsKept(path, keep)) return;
  for (const std::wstring& name : win::ListFolder(folder.handle.Get())) {
    const std::wstring child = JoinPath(path, name);
    win::OpenedEntry entry = win::OpenEntry(child, DELETE);
    if (!entry.handle) continue;  // in use or access denied: it stays
    if (entry.RealFolder()) {
      RemoveFolder(child, std::move(entry), keep);
    } else {
      win::RemoveWhenClosed(entry.handle.Get());
    }
  }
  win::RemoveWhenClosed(folder.handle.Get());  // fails, as it should, while something is left inside
}

}  // namespace

void DeleteDirectoryTree(const std::wstring& given, const std::vector<std::wstring>& keep) {
  std::wstring path = given;  // without trailing separators, so that the paths below compare as written
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  win::OpenedEntry folder = win::OpenEntry(path, DELETE);
  if (!folder.handle || !folder.folder) return;
  if (folder.link) {
    win::RemoveWhenClosed(folder.handle.Get());  // the folder itself is a link: only the link goes
    return;
  }
  if (win::ListFolder(folder.handle.Get()).empty()) return;
  RemoveFolder(path, std::move(folder), keep);
}
