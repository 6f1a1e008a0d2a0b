#include "download/ArchiveType.h"

#include <windows.h>

#include <cstring>

#include "win/Handle.h"

int DetectArchiveType(const std::wstring& path) {
  win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return kNotArchive;
  unsigned char head[6] = {};
  DWORD filled = 0;
  while (filled < sizeof(head)) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), head + filled, sizeof(head) - filled, &read, nullptr) || read == 0) break;
    filled += read;
  }
  static constexpr unsigned char kZip[4] = {0x50, 0x4B, 0x03, 0x04};
  static constexpr unsigned char k7z[6] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
  if (filled >= sizeof(kZip) && std::memcmp(head, kZip, sizeof(kZip)) == 0) return kZipArchive;
  if (filled == sizeof(k7z) && std::memcmp(head, k7z, sizeof(k7z)) == 0) return k7zArchive;
  return kNotArchive;
}
