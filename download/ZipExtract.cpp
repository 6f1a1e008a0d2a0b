#include "download/ZipExtract.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <unzip.h>

#include "download/FileCreator.h"
#include "download/TargetPath.h"
#include "download/ZipArchiveFile.h"
#include "download/ZipEntryName.h"
#include "win/Folder.h"
#include "win/Handle.h"
#include "win/Text.h"

namespace {

struct UnzFileTraits {
  using Type = unzFile;
  static Type Invalid() { return nullptr; }
  static void Close(Type file) { unzClose(file); }
};
using UnzFileHandle = win::UniqueHandle<UnzFileTraits>;

// One entry as the first pass decided it.
struct Entry {
  unz64_file_pos position{};
  std::wstring name;  // as decoded, for messages
  ZipEntryTarget target;
  uint64_t size = 0;
  uint64_t compressedSize = 0;
  uint64_t dataStart = 0;  // where the entry's compressed bytes begin in the archive
};

// An archive may unpack to at most this many times its own size (or kUnpackedFloor, for small
// archives): installers compress a few times, a ZIP bomb thousands of times.
constexpr uint64_t kMaxExpansion = 100;
constexpr uint64_t kUnpackedFloor = 16u << 20;

bool Refuse(std::wstring* error, std::wstring reason) {
  if (error) *error = std::move(reason);
  return false;
}

std::wstring WithCode(std::wstring text, DWORD code) { return text + L" (error " + win::Decimal(code) + L")"; }

// `path` and every missing parent as folders.
bool CreateFolderTree(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
    SetLastError(ERROR_FILE_EXISTS);  // a file stands where the folder should be
    return false;
  }
  const size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring::npos && separator > 0) {
    const std::wstring parent = path.substr(0, separator);
    // "C:" and "\\server\share" are not made here; a missing one fails below.
    if (parent.back() != L':' && !CreateFolderTree(parent)) return false;
  }
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The folders entries are written into, each made when missing and held open until the unpacking
// ends: a folder that is a link (or turns out to be a file) is refused, and one that is held
// cannot be renamed or swapped for a link while files are written into it by path.
class HeldFolders {
 public:
  // Holds `folder` (made with its parents when missing).
  bool HoldTop(const std::wstring& folder) { return CreateFolderTree(folder) && Hold(folder); }

  // Holds every folder from the held top folder down to `relative` (a path below it).
  bool HoldBelow(const std::wstring& top, const std::wstring& relative) {
    for (size_t end = relative.find(L'\\');; end = relative.find(L'\\', end + 1)) {
      const std::wstring folder = JoinPath(top, relative.substr(0, end));
      if (m_held.count(folder)) {
        if (end == std::wstring::npos) return true;
        continue;
      }
      if (!(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) || !Hold(folder)) {
        return false;
      }
      if (end == std::wstring::npos) return true;
    }
  }

 private:
  bool Hold(const std::wstring& folder) {
    if (m_held.count(folder)) return true;
    win::FileHandle handle = win::OpenRealFolder(folder);
    if (!handle) {
      SetLastError(ERROR_CANT_ACCESS_FILE);
      return false;
    }
    m_held.insert(folder);
    m_handles.push_back(std::move(handle));
    return true;
  }

  std::set<std::wstring> m_held;
  std::vector<win::FileHandle> m_handles;
};

// First pass: every entry's target, or the reason the archive is refused (or that `stop` came).
bool ListEntries(unzFile zip, std::vector<Entry>& entries, const std::atomic<bool>* stop, std::wstring* error) {
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) return Refuse(error, L"the archive's directory cannot be read");
  if (global.number_entry == 0) return Refuse(error, L"the archive holds no entries");
  std::string raw(0xFFFF, '\0');  // the longest name a ZIP can record
  int status = unzGoToFirstFile(zip);
  for (; status == UNZ_OK; status = unzGoToNextFile(zip)) {
    if (stop && *stop) return Refuse(error, L"unpacking stopped");
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
      return Refuse(error, L"the archive's directory cannot be read");
    }
    const std::string_view rawName(raw.data(), info.size_filename);
    const bool utf8 = (info.flag & kZipUtf8NameFlag) != 0;
    Entry entry;
    entry.size = info.uncompressed_size;
    const std::optional<std::wstring> name = DecodeZipEntryName(rawName, utf8);
    entry.name = name ? *name : *DecodeZipEntryName(rawName, false);
    const std::optional<ZipEntryTarget> target = name ? ZipEntryTargetFor(*name) : std::nullopt;
    if (!target) return Refuse(error, L"refused entry name: " + entry.name);
    entry.target = *target;
    if (info.flag & 1u) return Refuse(error, L"encrypted entry: " + entry.name);
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
      return Refuse(error, L"unsupported compression method " + win::Decimal(info.compression_method) + L": " +
                             entry.name);
    }
    if (unzGetFilePos64(zip, &entry.position) != UNZ_OK) return Refuse(error, L"the archive's directory cannot be read");
    // Where the data really begins is told by the entry's own header, read on opening it (raw: no
    // decompressor is set up for that).
    if (unzOpenCurrentFile2(zip, nullptr, nullptr, 1) != UNZ_OK) return Refuse(error, L"cannot read entry: " + entry.name);
    entry.dataStart = unzGetCurrentFileZStreamPos64(zip);
    unzCloseCurrentFile(zip);
    entry.compressedSize = info.compressed_size;
    entries.push_back(std::move(entry));
  }
  if (status != UNZ_END_OF_LIST_OF_FILE) return Refuse(error, L"the archive's directory is damaged");
  return true;
}

// Refuses what would make a small archive fill the disk: entries sharing compressed bytes (or
// reaching past the archive's end), and an unpacked total beyond kMaxExpansion times the archive
// or beyond the free room in `folder`'s volume.
bool CheckSizes(const std::vector<Entry>& entries, uint64_t archiveSize, const std::wstring& folder,
                std::wstring* error) {
  std::vector<const Entry*> byStart;
  uint64_t total = 0;
  for (const Entry& entry : entries) {
    if (entry.target.isDirectory) continue;
    if (entry.dataStart > archiveSize || entry.compressedSize > archiveSize - entry.dataStart) {
      return Refuse(error, L"entry reaches past the archive's end: " + entry.name);
    }
    byStart.push_back(&entry);
    total += entry.size;  // each at most 2^64 / 65536 entries: no overflow that matters below
    if (total > std::max(archiveSize * kMaxExpansion, kUnpackedFloor)) {
      return Refuse(error, L"the archive unpacks to more than " + win::Decimal(kMaxExpansion) + L" times its size");
    }
  }
  std::sort(byStart.begin(), byStart.end(), [](const Entry* a, const Entry* b) { return a->dataStart < b->dataStart; });
  for (size_t i = 1; i < byStart.size(); ++i) {
    if (byStart[i]->dataStart < byStart[i - 1]->dataStart + byStart[i - 1]->compressedSize) {
      return Refuse(error, L"overlapping entries: " + byStart[i - 1]->name + L", " + byStart[i]->name);
    }
  }
  // The folder may not exist yet: its nearest existing parent tells the volume's room.
  std::wstring existing = folder;
  ULARGE_INTEGER available{};
  bool known = false;
  while (!(known = GetDiskFreeSpaceExW(existing.c_str(), &available, nullptr, nullptr) != FALSE)) {
    const size_t separator = existing.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator == 0) break;
    existing.resize(separator);
  }
  if (known && available.QuadPart < total) {
    return Refuse(error, L"not enough disk space: " + win::Decimal(total) + L" bytes needed, " +
                             win::Decimal(available.QuadPart) + L" free");
  }
  return true;
}

// Writes one file entry (already located) into `file`, which is left open when it worked and is
// removed when it failed.
bool WriteEntry(unzFile zip, const Entry& entry, win::FileHandle& file, std::vector<char>& buffer,
                const std::atomic<bool>* stop, std::wstring* error) {
  bool ok = true;
  int closed = UNZ_OK;
  uint64_t total = 0;
  if (unzOpenCurrentFile(zip) != UNZ_OK) {
    ok = Refuse(error, L"cannot read entry: " + entry.name);
  } else {
    for (;;) {
      if (stop && *stop) {
        ok = Refuse(error, L"unpacking stopped");
        break;
      }
      const int read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
      if (read == 0) break;
      if (read < 0) {
        ok = Refuse(error, read == Z_DATA_ERROR ? L"damaged data in entry: " + entry.name
                                              : L"cannot read entry: " + entry.name);
        break;
      }
      DWORD written = 0;
      if (!WriteFile(file.Get(), buffer.data(), static_cast<DWORD>(read), &written, nullptr) ||
          written != static_cast<DWORD>(read)) {
        ok = Refuse(error, WithCode(L"cannot write file: " + entry.name, GetLastError()));
        break;
      }
      total += static_cast<uint64_t>(read);
    }
    // Checks the CRC when the whole entry was read.
    closed = unzCloseCurrentFile(zip);
  }
  if (ok && closed == UNZ_CRCERROR) ok = Refuse(error, L"CRC error in entry: " + entry.name);
  if (ok && total != entry.size) ok = Refuse(error, L"entry shorter than recorded: " + entry.name);
  if (ok && closed != UNZ_OK) ok = Refuse(error, L"cannot read entry: " + entry.name);
  if (!ok) {
    win::RemoveWhenClosed(file.Get());
    file.Reset();
  }
  return ok;
}

// Whether each entry's path was already used by an earlier entry (a later entry of the same name
// replaces the earlier one's file, so it is not created before that one is written).
std::vector<bool> RepeatedPaths(const std::vector<Entry>& entries) {
  std::set<std::wstring> seen;
  std::vector<bool> repeated;
  repeated.reserve(entries.size());
  for (const Entry& entry : entries) repeated.push_back(!seen.insert(win::Lower(entry.target.relativePath)).second);
  return repeated;
}

bool Unzip(const std::wstring& zip, const std::wstring& folder, const std::atomic<bool>* stop, std::wstring* error) {
  zlib_filefunc64_def io = BufferedArchiveFunctions();
  UnzFileHandle archive(unzOpen2_64(zip.c_str(), &io));
  if (!archive) return Refuse(error, L"cannot open the archive");
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExW(zip.c_str(), GetFileExInfoStandard, &attributes)) {
    return Refuse(error, L"cannot open the archive");
  }
  const uint64_t archiveSize = (uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;

  std::vector<Entry> entries;
  if (!ListEntries(archive.Get(), entries, stop, error)) return false;

  if (!CheckSizes(entries, archiveSize, folder, error)) return false;
  HeldFolders held;
  if (!held.HoldTop(folder)) return Refuse(error, WithCode(L"cannot create the folder", GetLastError()));
  const std::vector<bool> repeated = RepeatedPaths(entries);
  const auto createFile = [&](const Entry& entry) {
    CreatedFile made;
    made.file.Reset(CreateFileW(JoinPath(folder, entry.target.relativePath).c_str(), GENERIC_WRITE | DELETE, 0,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!made.file) made.error = WithCode(L"cannot create file: " + entry.name, GetLastError());
    return made;
  };
  // Folders are made and held, and files created and closed, on the creator's thread only.
  FileCreator creator(entries.size(), 64, [&](size_t index) {
    const Entry& entry = entries[index];
    const std::wstring& relative = entry.target.relativePath;
    const size_t separator = relative.find_last_of(L'\\');
    const std::wstring parent = entry.target.isDirectory ? relative
                                : separator == std::wstring::npos ? L""
                                                                   : relative.substr(0, separator);
    if (!parent.empty() && !held.HoldBelow(folder, parent)) {
      return CreatedFile{{}, WithCode(L"cannot create folder: " + entry.name, GetLastError())};
    }
    if (entry.target.isDirectory || repeated[index]) return CreatedFile{};
    return createFile(entry);
  });
  // A write the disk refuses late shows when the file is closed.
  const auto closedAll = [&] {
    const CloseFailure failed = creator.Finish();
    return failed.name.empty() || Refuse(error, WithCode(L"cannot write file: " + failed.name, failed.code));
  };
  std::vector<char> buffer(256 * 1024);
  for (size_t index = 0; index < entries.size(); ++index) {
    const Entry& entry = entries[index];
    CreatedFile made = creator.Take(index);
    if (made.error.empty() && repeated[index] && !entry.target.isDirectory) {
      if (!closedAll()) return false;  // the earlier file of that name is closed first
      made = createFile(entry);
    }
    if (!made.error.empty()) return Refuse(error, made.error);
    if (entry.target.isDirectory) continue;
    if (unzGoToFilePos64(archive.Get(), &entry.position) != UNZ_OK) {
      win::RemoveWhenClosed(made.file.Get());
      return Refuse(error, L"cannot read entry: " + entry.name);
    }
    if (!WriteEntry(archive.Get(), entry, made.file, buffer, stop, error)) return false;
    creator.Close(std::move(made.file), entry.name);
  }
  return closedAll();
}
}  // namespace

UnpackResult UnzipArchive(const std::wstring& zip, const std::wstring& folder, const std::atomic<bool>* stop) {
  UnpackResult result;
  result.ok = Unzip(zip, folder, stop, &result.error);
  return result;
}
