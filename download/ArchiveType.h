#pragma once
// What kind of archive a downloaded file is, told by its first bytes.
#include <string>

enum : int { kNotArchive = 0, kZipArchive = 1, k7zArchive = 2 };

// Reads up to 6 bytes of the file: "PK\3\4" (a ZIP local header) gives kZipArchive, 37 7A BC AF 27 1C
// (the 7z signature) gives k7zArchive; anything else, and a file that cannot be opened or is empty,
// gives kNotArchive.
int DetectArchiveType(const std::wstring& path);
