#pragma once
// One downloaded package through the installer step: an archive is unpacked into a fresh folder
// of the package's own and its installer started; any other file is started itself.
#include <string>

#include <nlohmann/json.hpp>

#include "download/RunProcess.h"

// Starts the installer of `file` (downloaded into the package's folder, `packageFolder`) with
// `arguments`, waiting for it when `wait`. A ZIP archive is unpacked into UnpackFolder(packageFolder)
// and its first program there is started; an archive that cannot be unpacked, or holds no program,
// is started itself, as is a 7z archive. While the process runs, `packageFolder` is in use. Once
// downloads are cancelled (the wizard is closing), unpacking stops and nothing is started (the
// error is ERROR_CANCELLED).
StartedProcess RunInstallerStep(const std::wstring& file, const std::wstring& arguments, bool wait,
                               const std::wstring& packageFolder);

// The same, returning the started process (its path the downloaded file, or the program found in
// its archive) instead of waiting.
StartedProcess StartInstallerStep(const std::wstring& file, const std::wstring& arguments,
                                  const std::wstring& packageFolder);

// The analytics payloads of failures: {"12": <prefix><text>}, the text as UTF-8.
nlohmann::json FailurePayload(const std::wstring& text);
inline constexpr wchar_t kDownloadFailed[] = L"DOWNLOAD FAILED: ";
inline constexpr wchar_t kMainProductDownloadFailed[] = L"MAIN PRODUCT DOWNLOAD FAILED: ";
inline constexpr wchar_t kMainProductInstallationFailed[] = L"MAIN PRODUCT INSTALLATION FAILED";
// "EXEC FAILED" followed by the error of the failed start in decimal, no blank.
std::wstring ExecFailedText(DWORD error);
