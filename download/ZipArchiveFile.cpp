#include "download/ZipArchiveFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "win/Handle.h"

namespace {

constexpr size_t kStreamingFill = 512 * 1024;
constexpr size_t kHeaderFill = 4 * 1024;

class ArchiveFile {
 public:
  explicit ArchiveFile(HANDLE file) : m_file(file), m_buffer(kStreamingFill) {}

  // Copies `size` bytes from the current position; fewer at the end of the file or on a failure.
  size_t Read(char* out, size_t size) {
    size_t done = 0;
    while (done < size) {
      if (m_position >= m_bufferStart && m_position < m_bufferStart + m_bufferLength) {
        const size_t offset = static_cast<size_t>(m_position - m_bufferStart);
        const size_t part = std::min(size - done, m_bufferLength - offset);
        std::memcpy(out + done, m_buffer.data() + offset, part);
        done += part;
        m_position += part;
        m_lastEnd = m_position;
        continue;
      }
      const bool streaming = m_position == m_lastEnd;
      if (streaming && size - done >= m_buffer.size()) {  // a large read goes straight to its target
        const size_t got = ReadAt(m_position, out + done, size - done);
        done += got;
        m_position += got;
        m_lastEnd = m_position;
        break;
      }
      const size_t fill = streaming ? m_buffer.size() : std::max(kHeaderFill, size - done);
      m_bufferStart = m_position;
      m_bufferLength = ReadAt(m_position, m_buffer.data(), std::min(fill, m_buffer.size()));
      if (m_bufferLength == 0) break;
    }
    return done;
  }

  bool Seek(uint64_t offset, int origin) {
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
      base = m_position;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
      LARGE_INTEGER size{};
      if (!GetFileSizeEx(m_file.Get(), &size)) return false;
      base = static_cast<uint64_t>(size.QuadPart);
    } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
      return false;
    }
    m_position = base + offset;
    return true;
  }

  uint64_t Tell() const { return m_position; }
  bool Failed() const { return m_failed; }

 private:
  size_t ReadAt(uint64_t position, char* out, size_t size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    if (!ReadFile(m_file.Get(), out, want, &got, &at) && GetLastError() != ERROR_HANDLE_EOF) {
      m_failed = true;
      return 0;
    }
    return got;
  }

  win::FileHandle m_file;
  std::vector<char> m_buffer;
  uint64_t m_bufferStart = 0;
  size_t m_bufferLength = 0;
  uint64_t m_position = 0;
  uint64_t m_lastEnd = UINT64_MAX;
  bool m_failed = false;
};

ArchiveFile* From(voidpf stream) { return static_cast<ArchiveFile*>(stream); }

voidpf ZCALLBACK Open(voidpf, const void* name, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || !name) return nullptr;
  HANDLE file = CreateFileW(static_cast<const wchar_t*>(name), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return new (std::nothrow) ArchiveFile(file);
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* out, uLong size) {
  return static_cast<uLong>(From(stream)->Read(static_cast<char*>(out), size));
}

uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) { return From(stream)->Tell(); }

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  return From(stream)->Seek(offset, origin) ? 0 : -1;
}

int ZCALLBACK Close(voidpf, voidpf stream) {
  delete From(stream);
  return 0;
}

int ZCALLBACK Error(voidpf, voidpf stream) { return From(stream)->Failed() ? 1 : 0; }

}  // namespace

zlib_filefunc64_def BufferedArchiveFunctions() {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = Open;
  functions.zread_file = Read;
  functions.zwrite_file = Write;
  functions.ztell64_file = Tell;
  functions.zseek64_file = Seek;
  functions.zclose_file = Close;
  functions.zerror_file = Error;
  return functions;
}
