#include "support/ZipWriter.h"

#include <windows.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ziptest {

namespace {

void Put16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate failed");
  out.resize(stream.total_out);
  return out;
}

constexpr uint32_t kDosTime = (12u << 11) | (30u << 5);             // 12:30:00
constexpr uint32_t kDosDate = ((2026u - 1980u) << 9) | (12u << 5) | 9u;  // 2026-12-09

}  // namespace

std::string MakeZip(const std::vector<Entry>& entries) {
  std::string archive, directory;
  uint32_t previousOffset = 0;
  for (const Entry& entry : entries) {
    const std::string stored = entry.deflate ? RawDeflate(entry.data) : entry.data;
    uint32_t crc = crc32(0L, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size()));
    if (entry.wrongCrc) crc ^= 0x5A5A5A5Au;
    const auto size = static_cast<uint32_t>(static_cast<int64_t>(entry.data.size()) + entry.sizeDelta);
    const auto method = entry.deflate ? 8u : 0u;
    const auto offset = entry.sharesPrevious ? previousOffset : static_cast<uint32_t>(archive.size());
    previousOffset = offset;
    if (!entry.sharesPrevious) {
    Put32(archive, 0x04034B50);
    Put16(archive, 20);
    Put16(archive, entry.flags);
    Put16(archive, method);
    Put16(archive, kDosTime);
    Put16(archive, kDosDate);
    Put32(archive, crc);
    Put32(archive, static_cast<uint32_t>(stored.size()));
    Put32(archive, size);
    Put16(archive, static_cast<uint32_t>(entry.name.size()));
    Put16(archive, 0);
    archive += entry.name;
    archive += stored;
    }

    Put32(directory, 0x02014B50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, entry.flags);
    Put16(directory, method);
    Put16(directory, kDosTime);
    Put16(directory, kDosDate);
    Put32(directory, crc);
    Put32(directory, static_cast<uint32_t>(stored.size()));
    Put32(directory, size);
    Put16(directory, static_cast<uint32_t>(entry.name.size()));
    Put16(directory, 0);  // extra field
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    const bool folder = !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
    Put32(directory, folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    Put32(directory, offset);
    directory += entry.name;
  }
  const auto directoryOffset = static_cast<uint32_t>(archive.size());
  archive += directory;
  Put32(archive, 0x06054B50);
  Put16(archive, 0);
  Put16(archive, 0);
  Put16(archive, static_cast<uint32_t>(entries.size()));
  Put16(archive, static_cast<uint32_t>(entries.size()));
  Put32(archive, static_cast<uint32_t>(directory.size()));
  Put32(archive, directoryOffset);
  Put16(archive, 0);
  return archive;
}

std::string EmptyZip() { return MakeZip({}); }

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  file << bytes;
  return static_cast<bool>(file);
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& c : out) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>(state >> 24);
  }
  return out;
}

}  // namespace ziptest
