#include "app/DirectoryTree.h"

#include <windows.h>
#include <shlwapi.h>

#include "win/Handle.h"

namespace {

bool IsInUseOrDenied(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

void DeleteAtReboot(const std::wstring& path) { MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); }

}  // namespace

void DeleteDirectoryTree(const std::wstring& path) {
  if (!PathFileExistsW(path.c_str()) || PathIsDirectoryEmptyW(path.c_str())) return;

  WIN32_FIND_DATAW entry{};
  win::FindHandle find(FindFirstFileW((path + L"\\*.*").c_str(), &entry));
  if (find) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteDirectoryTree(child);
      } else if (!DeleteFileW(child.c_str()) && IsInUseOrDenied(GetLastError())) {
        DeleteAtReboot(child);
      }
      // For files this fails too; it then registers the entry for removal at the next start.
      if (!RemoveDirectoryW(child.c_str()) && !IsInUseOrDenied(GetLastError())) DeleteAtReboot(child);
    } while (FindNextFileW(find.Get(), &entry));
  }
  if (!RemoveDirectoryW(path.c_str())) DeleteAtReboot(path);
}
