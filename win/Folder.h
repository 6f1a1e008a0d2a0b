#pragma once
// Folders opened by handle, never through a link: what a path names is decided from the opened
// handle, and a held folder cannot be renamed, removed or replaced by a link while it is held.
#include <string>
#include <vector>

#include "win/Handle.h"

namespace win {

// What a path names, opened without following it when it is a link or junction.
struct OpenedEntry {
  FileHandle handle;  // empty when the entry is missing or cannot be opened (in use, access denied)
  bool folder = false;
  bool link = false;  // a symbolic link or junction (any reparse point): the link itself is open

  bool RealFolder() const { return handle && folder && !link; }
};

// Opens `path` itself with `access` (plus reading its attributes and, for a folder, its names), sharing reading and writing but
// not deletion, so that nobody else can rename or remove it while the handle is open.
OpenedEntry OpenEntry(const std::wstring& path, DWORD access = 0);

// The names in the folder open at `folder` (without "." and ".."), listed through that handle; it
// needs FILE_LIST_DIRECTORY access. Empty when it cannot be listed.
std::vector<std::wstring> ListFolder(HANDLE folder);

// `path` as a real folder (not a link), held; an empty handle when it is anything else.
FileHandle OpenRealFolder(const std::wstring& path);

// Removes the entry open at `entry` (a file, a link itself or an empty folder) when its handle is
// closed; it needs DELETE access. False when it cannot go (a folder that is not empty, a running
// program).
bool RemoveWhenClosed(HANDLE entry);

}  // namespace win
