#pragma once
// Where the packages of a run are fetched from and where their files go.
#include <cstddef>
#include <string>
#include <string_view>

// True when `text` begins with "http://" or "https://" (in any case). Every other value, a bare
// file name like "setup.exe" included, names a file under the run's files URL.
bool IsAbsoluteUrl(std::wstring_view text);

// The URL an offer's installer is fetched from: its configured value when that is a full URL,
// else the files URL followed by the value.
std::wstring OfferDownloadUrl(const std::wstring& filesUrl, const std::wstring& value);

// The folder of its own that package number `index` (0 the main product, then the accepted offers
// in order) downloads into: "<tempFolder>\<index>", created when missing. "" when there is no
// temporary folder or the folder cannot be made (the download then fails as any other).
std::wstring MakePackageFolder(const std::wstring& tempFolder, std::size_t index);

// The fresh folder an archive downloaded into `packageFolder` is unpacked into; only this folder
// is searched for the archive's installer.
std::wstring UnpackFolder(const std::wstring& packageFolder);
