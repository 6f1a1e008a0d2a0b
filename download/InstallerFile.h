#pragma once
// Finding the program to start for a downloaded package: the file itself, or the installer inside
// its ZIP archive.
#include <atomic>
#include <string>

// Name (no folder) of the first *.exe in `folder` that is not a directory, in the order the file
// system lists them; "" when there is none (or the folder cannot be listed). Only names that really
// end in ".exe" (any case) count, not longer names whose short 8.3 form happens to match.
std::wstring FindFirstExecutable(const std::wstring& folder);

// For `type` kZipArchive: unpacks `path` into `folder` and returns folder\<first exe> when the
// unpacking succeeded and an exe was found there; otherwise `path`, which is then started itself.
// Any other type: `path`. `stop` stops the unpacking (see UnzipArchive). Never throws.
std::wstring PrepareInstaller(const std::wstring& path, int type, const std::wstring& folder,
                              const std::atomic<bool>* stop = nullptr) noexcept;
