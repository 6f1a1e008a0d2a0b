#include "download/InstallerFile.h"

#include <windows.h>

#include "backend/RunLog.h"
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
    if (type != kZipArchive) return path;
    const UnpackResult unpacked = UnzipArchive(path, folder, stop);
    if (!unpacked.ok) {
      runlog::Write(L"Unpacking " + path + L" failed: " + unpacked.error + L"; the archive itself is started");
      return path;
    }
    const std::wstring name = FindFirstExecutable(folder);
    runlog::Write(L"Unpacked " + path + L" into " + folder +
                  (name.empty() ? L": no program in it, the archive itself is started" : L": starting " + name));
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
