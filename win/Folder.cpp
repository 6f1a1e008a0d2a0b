#include "win/Folder.h"

namespace win {

OpenedEntry OpenEntry(const std::wstring& path, DWORD access) {
  OpenedEntry entry;
  entry.handle.Reset(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!entry.handle || !GetFileInformationByHandle(entry.handle.Get(), &information)) {
    entry.handle.Reset();
    return entry;
  }
  entry.folder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry.link = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return entry;
}

std::vector<std::wstring> ListFolder(HANDLE folder) {
  std::vector<std::wstring> names;
  alignas(8) char buffer[16 * 1024];
  for (FILE_INFO_BY_HANDLE_CLASS query = FileFullDirectoryRestartInfo;
       GetFileInformationByHandleEx(folder, query, buffer, sizeof(buffer)); query = FileFullDirectoryInfo) {
    for (std::size_t offset = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buffer + offset);
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.push_back(std::move(name));
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
  return names;
}

FileHandle OpenRealFolder(const std::wstring& path) {
  OpenedEntry entry = OpenEntry(path);
  return entry.RealFolder() ? std::move(entry.handle) : FileHandle();
}

bool RemoveWhenClosed(HANDLE entry) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

}  // namespace win
