#include "eligibility/MachineProbes.h"

#include <tlhelp32.h>
#include <shlwapi.h>

#include <atomic>

#include "machine/KnownFolder.h"
#include "machine/SystemVersion.h"
#include "machine/Wow64.h"
#include "win/Handle.h"
#include "win/Text.h"

namespace {

std::atomic<uint64_t> g_snapshots{0};

class RealMachine : public MachineProbes {
 public:
  std::wstring DefaultUserDesktop() override { return GetKnownFolder(FOLDERID_Desktop, true); }

  bool FreeDiskBytes(const std::wstring& root, uint64_t& bytes, DWORD& error) override {
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free)) {
      error = GetLastError();
      return false;
    }
    bytes = available.QuadPart;
    return true;
  }

  bool TotalPhysicalBytes(uint64_t& bytes, DWORD& error) override {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status)) {
      error = GetLastError();
      return false;
    }
    bytes = status.ullTotalPhys;
    return true;
  }

  CpuRead ProcessorMhz(uint32_t& mhz) override {
    win::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                      KEY_READ | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS) {
      return CpuRead::kCannotOpen;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key.Get(), "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS) {
      return CpuRead::kCannotRead;
    }
    mhz = value;
    return CpuRead::kOk;
  }

  bool IsWindowsVersionOrLater(DWORD major, DWORD minor) override { return ::IsWindowsVersionOrLater(major, minor, 0); }

  bool IsWow64() override { return ::IsWow64(); }

  bool FileExists(const std::wstring& path) override { return PathFileExistsW(path.c_str()) != FALSE; }

  bool RunningProcesses(std::vector<std::wstring>& names) override {
    ++g_snapshots;
    win::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // INVALID_HANDLE_VALUE on failure
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
      names.push_back(win::Lower(entry.szExeFile));
    }
    return true;
  }

  uint64_t NowUnixSeconds() override {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr uint64_t kTicksFrom1601To1970 = 116444736000000000ull;
    return (ticks - kTicksFrom1601To1970) / 10000000ull;
  }
};

}  // namespace

std::shared_ptr<MachineProbes> RealMachineProbes() { return std::make_shared<RealMachine>(); }

uint64_t ProcessSnapshotCount() { return g_snapshots; }
