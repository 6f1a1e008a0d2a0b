// Throughput of one download, for scripts/bench-download: either DownloadManager::DownloadFile or a
// bare WinHTTP read loop (no redirects, no progress, no checks) writing the same file. Prints one
// line: "<mode> bytes=<n> seconds=<s> mib_per_s=<r> peak_working_set=<bytes>".
//   download-bench.exe downloadfile <url> <folder>
//   download-bench.exe bare <url> <file>
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "backend/WinHttpSession.h"
#include "download/DownloadManager.h"
#include "win/Handle.h"
#include "win/WinHttpHandle.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

unsigned long long FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The plainest WinHTTP download there is: one request, QueryDataAvailable/ReadData into one
// buffer, WriteFile.
bool BareDownload(const std::wstring& url, const std::wstring& path) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return false;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  win::WinHttpHandle session(
      WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  DWORD protocols = SecureProtocolsForThisSystem();
  WinHttpSetOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
  win::WinHttpHandle connection(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
  win::WinHttpHandle request(WinHttpOpenRequest(connection.Get(), L"GET", parts.lpszUrlPath, nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (!request || !WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr)) {
    return false;
  }
  win::FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
  if (!file) return false;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.Get(), &available)) return false;
    if (available == 0) return true;
    if (available > buffer.size()) buffer.resize(available);
    DWORD read = 0, written = 0;
    if (!WinHttpReadData(request.Get(), buffer.data(), available, &read)) return false;
    if (!WriteFile(file.Get(), buffer.data(), read, &written, nullptr) || written != read) return false;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: download-bench.exe downloadfile <url> <folder> | bare <url> <file>\n");
    return 2;
  }
  const std::wstring mode = argv[1], url = argv[2], target = argv[3];
  std::wstring path;
  bool ok = false;
  LARGE_INTEGER start{}, end{};
  if (mode == L"downloadfile") {
    QueryPerformanceCounter(&start);
    const auto result = DownloadManager::GetInstance()->DownloadFile(url, nullptr, L"", target);
    QueryPerformanceCounter(&end);
    ok = result.ok && result.text.empty();  // WinHTTP alone, no fallback
    if (!ok) std::fprintf(stderr, "DownloadFile: %ls\n", result.text.c_str());
    path = result.path;
  } else if (mode == L"bare") {
    path = target;
    QueryPerformanceCounter(&start);
    ok = BareDownload(url, path);
    QueryPerformanceCounter(&end);
    if (!ok) std::fprintf(stderr, "bare loop failed: %lu\n", GetLastError());
  } else {
    std::fprintf(stderr, "unknown mode\n");
    return 2;
  }

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
  const unsigned long long bytes = FileSize(path);
  const double seconds = Seconds(start, end);
  std::printf("%ls bytes=%llu seconds=%.3f mib_per_s=%.1f peak_working_set=%lu\n", mode.c_str(), bytes, seconds,
              static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds,
              static_cast<unsigned long>(memory.PeakWorkingSetSize));
  return ok ? 0 : 1;
}
