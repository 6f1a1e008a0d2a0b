// Throughput of one unpacking, for scripts/bench-unzip: UnzipArchive of one archive into a folder.
// Prints one line: "unzip files=<n> bytes=<unpacked bytes> seconds=<s> mib_per_s=<r> peak_working_set=<bytes>",
// the rate counted in unpacked bytes.
//   unzip-bench.exe <zip> <folder>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "download/ZipExtract.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: unzip-bench.exe <zip> <folder>\n");
    return 2;
  }
  LARGE_INTEGER frequency{}, start{}, end{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const UnpackResult result = UnzipArchive(argv[1], argv[2]);
  QueryPerformanceCounter(&end);
  if (!result.ok) {
    std::fprintf(stderr, "UnzipArchive: %ls\n", result.error.c_str());
    return 1;
  }
  const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);

  unsigned long long files = 0, bytes = 0;
  std::error_code walkError;
  for (std::filesystem::recursive_directory_iterator it(argv[2], walkError), last; !walkError && it != last;
       it.increment(walkError)) {
    if (it->is_regular_file()) {
      ++files;
      bytes += it->file_size();
    }
  }
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
  std::printf("unzip files=%llu bytes=%llu seconds=%.3f mib_per_s=%.1f peak_working_set=%lu\n", files, bytes, seconds,
              static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds,
              static_cast<unsigned long>(memory.PeakWorkingSetSize));
  return 0;
}
