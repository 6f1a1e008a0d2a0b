#pragma once
#include <string>

// Removes a folder and everything in it. Files and folders that cannot be removed now (in use,
// access denied) are scheduled for removal at the next start of the machine. A missing path or
// an empty folder is left as it is.
void DeleteDirectoryTree(const std::wstring& path);
