#include "download/InstallerStep.h"

#include "download/ArchiveType.h"
#include "download/DownloadManager.h"
#include "download/InstallerFile.h"
#include "download/PackageRequest.h"
#include "win/Text.h"

namespace {

// Unpacking stops when the wizard closes (downloads are cancelled then).
std::wstring ProgramToStart(const std::wstring& file, const std::wstring& packageFolder) {
  const int type = DetectArchiveType(file);
  return type == kNotArchive
             ? file
             : PrepareInstaller(file, type, UnpackFolder(packageFolder), &DownloadManager::GetInstance()->m_cancelled);
}

// Nothing is started once the wizard is closing, not even the archive of a stopped unpacking.
StartedProcess Cancelled() {
  StartedProcess cancelled;
  cancelled.error = ERROR_CANCELLED;
  return cancelled;
}

bool Closing() { return DownloadManager::GetInstance()->m_cancelled; }

}  // namespace

StartedProcess RunInstallerStep(const std::wstring& file, const std::wstring& arguments, bool wait,
                               const std::wstring& packageFolder) {
  const std::wstring program = ProgramToStart(file, packageFolder);
  return Closing() ? Cancelled() : RunProcess(program, arguments, wait, packageFolder);
}

StartedProcess StartInstallerStep(const std::wstring& file, const std::wstring& arguments,
                                  const std::wstring& packageFolder) {
  const std::wstring program = ProgramToStart(file, packageFolder);
  return Closing() ? Cancelled() : StartProcess(program, arguments, packageFolder);
}

nlohmann::json FailurePayload(const std::wstring& text) { return nlohmann::json{{"12", win::ToUtf8(text)}}; }

std::wstring ExecFailedText(DWORD error) { return L"EXEC FAILED" + win::Decimal(error); }
