#include "download/PackageRequest.h"

#include <windows.h>

#include <cwctype>

namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::towlower(text[i]) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsAbsoluteUrl(std::wstring_view text) {
  return StartsWithNoCase(text, L"http://") || StartsWithNoCase(text, L"https://");
}

std::wstring OfferDownloadUrl(const std::wstring& filesUrl, const std::wstring& value) {
  return IsAbsoluteUrl(value) ? value : filesUrl + value;
}

std::wstring MakePackageFolder(const std::wstring& tempFolder, std::size_t index) {
  if (tempFolder.empty()) return L"";
  std::wstring folder = tempFolder;
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  folder += std::to_wstring(index);
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return L"";
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return L"";
  }
  return folder;
}

std::wstring UnpackFolder(const std::wstring& packageFolder) { return packageFolder + L"\\unpacked"; }
