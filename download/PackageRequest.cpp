#include "download/PackageRequest.h"

#include <windows.h>

#include "win/Folder.h"
#include "win/Text.h"

bool IsAbsoluteUrl(std::wstring_view text) {
  return win::StartsWithNoCase(text, L"http://") || win::StartsWithNoCase(text, L"https://");
}

std::wstring OfferDownloadUrl(const std::wstring& filesUrl, const std::wstring& value) {
  return IsAbsoluteUrl(value) ? value : filesUrl + value;
}

std::wstring MakePackageFolder(const std::wstring& tempFolder, std::size_t index) {
  if (tempFolder.empty()) return L"";
  std::wstring folder = tempFolder;
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  folder += win::Decimal(index);
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return L"";
  return win::OpenRealFolder(folder) ? folder : L"";  // a link or a file under that name is refused
}

std::wstring UnpackFolder(const std::wstring& packageFolder) { return packageFolder + L"\\unpacked"; }
