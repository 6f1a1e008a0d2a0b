#include "machine/KnownFolder.h"

std::wstring GetKnownFolder(REFKNOWNFOLDERID id, bool defaultUser) {
  PWSTR path = nullptr;
  HANDLE token = defaultUser ? reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)) : nullptr;
  const HRESULT result = SHGetKnownFolderPath(id, 0, token, &path);
  std::wstring folder;
  if (SUCCEEDED(result) && path) folder = path;
  CoTaskMemFree(path);
  return folder;
}
