#include "download/InstallerFile.h"

#include <windows.h>


#include "download/ArchiveType.h"
#include "download/TargetPath.h"
#include "download/ZipExtract.h"
#include "win/Handle.h"
#include "win/Text.h"

namespace {

// "x.exe", not ".exe" alone.
bool EndsWithExe(const std::wstring& name) { return name.size() > 4 && win::EndsWithNoCase(name, L".exe"); }

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

std::wstring PrepareInstaller(const std::wstring& path, int type, const std::wstring& folder,
                              const std::atomic<bool>* stop) noexcept {
  try {
    if (type != kZipArchive || !UnzipArchive(path, folder, stop).ok) return path;
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
