#pragma once
#include <string>
#include <vector>

// Removes a folder and everything in it. Links inside it (junctions, symbolic links) are removed
// themselves and never followed, so nothing outside the folder is touched. Entries that cannot be
// removed now because they are in use or access is denied are scheduled for removal at the next
// start of the machine, and so are the folders that still hold them; nothing else is scheduled.
// A missing path or an empty folder is left as it is. Folders named in `keep` (full paths, compared
// without regard to case) are not touched now: they and everything in them are scheduled for
// removal at the next start, as is every folder holding one of them.
void DeleteDirectoryTree(const std::wstring& path, const std::vector<std::wstring>& keep = {});
