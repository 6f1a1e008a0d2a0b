#pragma once
// A small ZIP writer for the tests: stored and deflated entries with real CRCs (zlib), and the
// faults the unpacker must catch (a wrong CRC, a wrong recorded size, raw name bytes, flags).
#include <cstdint>
#include <string>
#include <vector>

namespace ziptest {

struct Entry {
  std::string name;  // the bytes as stored in the archive
  std::string data;
  bool deflate = false;
  uint16_t flags = 0;  // general-purpose flags as recorded (bit 11: UTF-8 name, bit 0: encrypted)
  bool wrongCrc = false;  // records a CRC that does not match the data
  int64_t sizeDelta = 0;  // added to the recorded uncompressed size
  bool sharesPrevious = false;  // no bytes of its own: its directory record points at the previous entry's
};

// The bytes of an archive holding `entries` in order (local headers, central directory, end record).
std::string MakeZip(const std::vector<Entry>& entries);

// An archive with no entries: only the end record.
std::string EmptyZip();

// Writes `bytes` to `path`, replacing it; false when the file cannot be written.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The whole file, or "<missing>" when it cannot be read.
std::string ReadBytes(const std::wstring& path);

// `size` bytes from a fixed pseudo-random sequence (no two seeds alike): data deflate cannot shrink.
std::string RandomBytes(size_t size, uint32_t seed);

}  // namespace ziptest
