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

// Two windows onto the file: minizip goes back and forth between the central directory and the
// entries, and each keeps its own window.
class ArchiveFile {
 public:
  explicit ArchiveFile(HANDLE file) : m_file(file) {
    for (Window& window : m_windows) window.bytes.resize(kStreamingFill);
  }

  // Copies `size` bytes from the current position; fewer at the end of the file or on a failure.
  size_t Read(char* out, size_t size) {
    size_t done = 0;
    while (done < size) {
      Window* window = Holding(m_position);
      if (!window) {
        window = Continuing(m_position);
        const bool streaming = window != nullptr;
        if (!window) window = &m_windows[m_lastUsed == &m_windows[0] ? 1 : 0];
        if (streaming && size - done >= kStreamingFill) {  // a large read goes straight to its target
          const size_t got = ReadAt(m_position, out + done, size - done);
          done += got;
          m_position += got;
          window->lastEnd = m_position;
          break;
        }
        const size_t fill = streaming ? kStreamingFill : std::min(kStreamingFill, std::max(kHeaderFill, size - done));
        window->start = m_position;
        window->length = ReadAt(m_position, window->bytes.data(), fill);
        if (window->length == 0) break;
      }
      const size_t offset = static_cast<size_t>(m_position - window->start);
      const size_t part = std::min(size - done, window->length - offset);
      std::memcpy(out + done, window->bytes.data() + offset, part);
      done += part;
      m_position += part;
      window->lastEnd = m_position;
      m_lastUsed = window;
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
  struct Window {
    std::vector<char> bytes;
    uint64_t start = 0;
    size_t length = 0;
    uint64_t lastEnd = UINT64_MAX;  // where the last read from this window ended
  };

  Window* Holding(uint64_t position) {
    for (Window& window : m_windows) {
      if (position >= window.start && position < window.start + window.length) return &window;
    }
    return nullptr;
  }

  // The window whose last read ended at `position`: reading goes on there.
  Window* Continuing(uint64_t position) {
    for (Window& window : m_windows) {
      if (window.lastEnd == position) return &window;
    }
    return nullptr;
  }

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
  Window m_windows[2];
  Window* m_lastUsed = nullptr;
  uint64_t m_position = 0;
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
