#include "app/DirectoryTree.h"

#include <windows.h>
#include <shlwapi.h>

#include "download/TargetPath.h"
#include "win/Handle.h"

namespace {

bool IsInUseOrDenied(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

void DeleteAtReboot(const std::wstring& path) { MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); }

// Removes a file, or a link itself (a link to a folder is removed as a folder, which removes only
// the link). Returns true when the entry was scheduled for removal at the next start instead.
bool RemoveEntry(const std::wstring& path, DWORD attributes) {
  const bool folderLink = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folderLink ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) return false;
  if (!IsInUseOrDenied(GetLastError())) return false;
  DeleteAtReboot(path);
  return true;
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

// Schedules a folder and everything in it for removal at the next start, contents first; links
// are scheduled themselves, never followed.
void ScheduleFolder(const std::wstring& path) {
  ForEachEntry(path, [](const std::wstring& child, bool realFolder, DWORD) {
    if (realFolder) {
      ScheduleFolder(child);
    } else {
      DeleteAtReboot(child);
    }
  });
  DeleteAtReboot(path);
}

// Removes the contents of a real folder, then the folder. Returns true when the folder, or
// something in it, is left for removal at the next start.
bool RemoveFolder(const std::wstring& path, const std::vector<std::wstring>& keep) {
  if (IsKept(path, keep)) {
    ScheduleFolder(path);
    return true;
  }
  bool scheduled = false;
  ForEachEntry(path, [&](const std::wstring& child, bool realFolder, DWORD attributes) {
    scheduled |= realFolder ? RemoveFolder(child, keep) : RemoveEntry(child, attributes);
  });
  if (RemoveDirectoryW(path.c_str())) return false;
  const DWORD error = GetLastError();
  // A folder still holding scheduled entries goes after them (the removals run in order).
  if (IsInUseOrDenied(error) || (error == ERROR_DIR_NOT_EMPTY && scheduled)) {
    DeleteAtReboot(path);
    return true;
  }
  return scheduled;
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
