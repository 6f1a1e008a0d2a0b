#pragma once
// Unpacking ZIP archives (minizip over zlib): Shell.Application cannot open them under Wine, so
// the installer step unpacks them itself.
#include <atomic>
#include <string>

// How an unpacking ended: ok, or a short English reason.
struct UnpackResult {
  bool ok = false;
  std::wstring error;
};

// Unpacks the ZIP `zip` into `folder` (created if missing, with its parents and the parent folders
// of entries). Every entry's name and size is decided before anything is written
// (DecodeZipEntryName, ZipEntryTargetFor): when one is refused, an entry is encrypted or compressed
// with a method other than stored or deflate, entries share compressed bytes, or the unpacked total
// is more than 100 times the archive (16 MiB for small ones) or more than the free disk space,
// nothing at all is written. No entry is written beyond its recorded size. A file of the same name
// in `folder` is replaced. A CRC, read or write error (or an entry shorter than its recorded size)
// stops the unpacking and removes that entry's partial file, as does `stop` becoming true; entries
// written before it stay. Not ok, with a short English reason, when the archive cannot be opened,
// holds no entries, or any entry is refused or fails. Blocking; safe to call on any thread.
UnpackResult UnzipArchive(const std::wstring& zip, const std::wstring& folder,
                          const std::atomic<bool>* stop = nullptr);
