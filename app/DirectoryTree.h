#pragma once
#include <string>
#include <vector>

// Removes a folder and everything in it. Links inside it (junctions, symbolic links) are removed
// themselves and never followed, so nothing outside the folder is touched: each entry is judged
// from its opened handle, and a folder is held open while it is emptied. What cannot be removed
// now (in use, access denied) stays where it is, with the folders holding it; nothing is ever
// scheduled for removal at the next start of the machine: the run's folder lies in the user's
// temporary folder, where such a removal could be led elsewhere by a link put in its place. A
// missing path or an empty folder is left as it is. Folders named in `keep` (full paths, compared
// without regard to case) are left whole, as are the folders holding them.
void DeleteDirectoryTree(const std::wstring& path, const std::vector<std::wstring>& keep = {});
