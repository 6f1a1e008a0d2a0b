#pragma once
// What the offer rules ask of the machine beyond the registry: one call is one query. The engine
// uses the real machine; tests give stand-ins that answer as they are told and count the calls.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MachineProbes {
 public:
  enum class CpuRead { kOk, kCannotOpen, kCannotRead };

  virtual ~MachineProbes() = default;
  // The default user's desktop folder ("" when it cannot be resolved).
  virtual std::wstring DefaultUserDesktop() = 0;
  // GetDiskFreeSpaceExW of `root`: bytes available to the caller; false with the error code.
  virtual bool FreeDiskBytes(const std::wstring& root, uint64_t& bytes, DWORD& error) = 0;
  // GlobalMemoryStatusEx: total physical bytes; false with the error code.
  virtual bool TotalPhysicalBytes(uint64_t& bytes, DWORD& error) = 0;
  // "~MHz" of processor 0.
  virtual CpuRead ProcessorMhz(uint32_t& mhz) = 0;
  // Windows is at least major.minor with service pack 0.
  virtual bool IsWindowsVersionOrLater(DWORD major, DWORD minor) = 0;
  virtual bool IsWow64() = 0;
  virtual bool FileExists(const std::wstring& path) = 0;
  // The executable names of the running processes, lower-cased, duplicates kept; false when no
  // snapshot could be taken.
  virtual bool RunningProcesses(std::vector<std::wstring>& names) = 0;
  // Whole seconds since 1970-01-01 00:00 UTC.
  virtual uint64_t NowUnixSeconds() = 0;
};

// The machine itself.
std::shared_ptr<MachineProbes> RealMachineProbes();
// How many process snapshots this process has taken (for the eligibility benchmark).
uint64_t ProcessSnapshotCount();
