#include "backend/Identity.h"

#include <windows.h>
#include <sddl.h>

#include <cstring>

#include "machine/SystemVersion.h"
#include "win/Handle.h"
#include "win/Text.h"

std::string GetProgramVersion() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
  if (!info) return {};
  const DWORD size = SizeofResource(module, info);
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  // The block is a VS_VERSIONINFO: three WORDs, the key L"VS_VERSION_INFO" with its zero, padding to a
  // 32-bit boundary, then the fixed part. Read here, so that VERSION.dll is never loaded.
  constexpr size_t kFixedPartAt = 40;
  VS_FIXEDFILEINFO fixedPart{};
  if (size < kFixedPartAt + sizeof(fixedPart)) return {};
  std::memcpy(&fixedPart, static_cast<const unsigned char*>(data) + kFixedPartAt, sizeof(fixedPart));
  const VS_FIXEDFILEINFO* fixed = &fixedPart;
  if (fixed->dwSignature != VS_FFI_SIGNATURE) return {};
  return win::Format("%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                     HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
}

std::string GetOsVersion() {
  OSVERSIONINFOEXW info{};
  if (!RealWindowsVersion(info)) return {};
  return win::Format("%lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
}

std::string ReadMachineGuid() {
  win::RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Cryptography", 0, KEY_READ | KEY_WOW64_64KEY,
                    key.Put()) != ERROR_SUCCESS) {
    return {};
  }
  char buffer[255] = {};
  DWORD size = sizeof(buffer);
  if (RegQueryValueExA(key.Get(), "MachineGuid", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  // A value that fills the buffer completely has no terminator of its own.
  return std::string(buffer, strnlen(buffer, sizeof(buffer)));
}

std::wstring DownloadTokenFromPath(const std::wstring& programPath) {
  const size_t underscore = programPath.rfind(L'_');
  if (underscore == std::wstring::npos) return {};
  std::wstring token = programPath.substr(underscore + 1);
  if (const size_t dot = token.rfind(L'.'); dot != std::wstring::npos) token.resize(dot);
  if (token.size() == 7 && token.find(L'-') != std::wstring::npos) return token;
  return {};
}

std::wstring GetDownloadToken() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return DownloadTokenFromPath(std::wstring(path, length));
}

namespace {

bool IsElevated() {
  win::KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = sizeof(elevation);
  return GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
         elevation.TokenIsElevated != 0;
}

// Full control for Administrators and SYSTEM only, inherited by everything made inside, nothing
// inherited from the user's temporary folder.
constexpr wchar_t kAdministratorsOnly[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

}  // namespace

std::wstring CreateTempFolder() {
  wchar_t tempPath[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, tempPath);
  if (length == 0 || length > MAX_PATH) return {};
  // An elevated wizard's folder is closed to the user's other programs, which could otherwise swap
  // the installers it is about to start.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (IsElevated() &&
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1, &descriptor, nullptr)) {
    return {};
  }
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  std::wstring folder;
  // Only a folder this call makes itself will do: a name that exists by then (a folder, a file, a
  // link planted under the predicted name) is never used; another name is tried.
  for (int tries = 0; tries < 100 && folder.empty(); ++tries) {
    wchar_t unique[MAX_PATH] = {};
    if (GetTempFileNameW(tempPath, L"ISV", 0, unique) == 0) break;
    DeleteFileW(unique);
    if (CreateDirectoryW(unique, &attributes)) folder = unique;
    else if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  if (descriptor) LocalFree(descriptor);
  return folder;
}
