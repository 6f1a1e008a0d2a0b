#include "download/InstallerFile.h"

#include <windows.h>

#include <cwctype>

#include "download/ArchiveType.h"
#include "download/TargetPath.h"
#include "download/ZipExtract.h"
#include "win/Handle.h"

namespace {

bool EndsWithExe(const std::wstring& name) {
  static constexpr wchar_t kExtension[] = L".exe";
  constexpr size_t length = 4;
  if (name.size() <= length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (std::towlower(name[name.size() - length + i]) != kExtension[i]) return false;
  }
  return true;
}

}  // namespace

std::wstring FindFirstExecutable(const std::wstring& folder) {
  WIN32_FIND_DATAW data{};
  win::FindHandle find(FindFirstFileW(JoinPath(folder, L"*.exe").c_str(), &data));
  if (!find) return {};
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && EndsWithExe(data.cFileName)) return data.cFileName;
  } while (FindNextFileW(find.Get(), &data));
  return {};
}

std::wstring PrepareInstaller(const std::wstring& path, int type, const std::wstring& folder) noexcept {
  try {
    if (type != kZipArchive || !UnzipArchive(path, folder)) return path;
    const std::wstring name = FindFirstExecutable(folder);
    return name.empty() ? path : JoinPath(folder, name);
  } catch (...) {
    // Out of memory: the downloaded file is started itself, as for any archive we cannot use.
    try {
      return path;
    } catch (...) {
      return {};
    }
  }
}
