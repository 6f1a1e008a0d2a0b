#include "download/InstallerStep.h"

#include "download/ArchiveType.h"
#include "download/InstallerFile.h"
#include "download/PackageRequest.h"
#include "win/Text.h"

namespace {

std::wstring ProgramToStart(const std::wstring& file, const std::wstring& packageFolder) {
  const int type = DetectArchiveType(file);
  return type == kNotArchive ? file : PrepareInstaller(file, type, UnpackFolder(packageFolder));
}

}  // namespace

StartedProcess RunInstallerStep(const std::wstring& file, const std::wstring& arguments, bool wait,
                               const std::wstring& packageFolder) {
  return RunProcess(ProgramToStart(file, packageFolder), arguments, wait, packageFolder);
}

StartedProcess StartInstallerStep(const std::wstring& file, const std::wstring& arguments,
                                  const std::wstring& packageFolder) {
  return StartProcess(ProgramToStart(file, packageFolder), arguments, packageFolder);
}

nlohmann::json FailurePayload(const std::wstring& text) { return nlohmann::json{{"12", win::ToUtf8(text)}}; }

std::wstring ExecFailedText(DWORD error) { return L"EXEC FAILED" + std::to_wstring(error); }
