#pragma once
// Registry helpers of the offer rules: the compact key-path texts of the configuration
// ("hklm\software\vendor\app", "vendor\app", ...) turned into concrete queries, the views of a
// 32-bit program on 64-bit Windows, typed value reads and subkey enumeration.
//
// The product is a 32-bit program: on 64-bit Windows its default registry view is the 32-bit one
// (HKLM\Software is Wow6432Node there) and KEY_WOW64_64KEY reaches the 64-bit view. The 64-bit
// build sees exactly the same: a mask without KEY_WOW64_64KEY opens the 32-bit view (OpenKey adds
// what machine/Wow64.h says the 64-bit build must name).
#include <windows.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "win/Handle.h"

namespace win32 {

class RegistryError : public std::runtime_error {
 public:
  RegistryError(const std::string& message, LONG code) : std::runtime_error(message), m_code(code) {}
  LONG ErrorCode() const { return m_code; }

 private:
  LONG m_code;
};

// Short to long hive names, in key order.
extern const std::map<std::wstring, std::wstring> kHiveAliases;
// The five long hive names, in lookup order.
extern const std::vector<std::wstring> kHiveNames;
// "hkey_local_machine\software\", "hkey_current_user\software\".
extern const std::vector<std::wstring> kSoftwarePrefixes;
// The same with "wow6432node\" after "software\".
extern const std::vector<std::wstring> kWow6432Prefixes;
// Long hive name to predefined key; .at() of any other name throws std::out_of_range.
extern const std::unordered_map<std::wstring, HKEY> kHiveKeys;

// True on 64-bit Windows (machine/Wow64.h), asked at every call.
bool IsWow64();

// The candidates of a lower-cased key path, in order. The overload taking `wow64` is the pure rule.
std::vector<std::wstring> ExpandKeyPath(const std::wstring& path);
std::vector<std::wstring> ExpandKeyPath(const std::wstring& path, bool wow64);

// Picks the view of a full path: may edit the path and add KEY_WOW64_64KEY to the mask; true means
// the path cannot exist on this system (skip it). Throws std::out_of_range for a path that is a
// software prefix alone.
bool ApplyWow64View(std::wstring& path, REGSAM& mask);
bool ApplyWow64View(std::wstring& path, REGSAM& mask, bool wow64);

std::vector<std::wstring> SplitPath(const std::wstring& path);
std::pair<std::wstring, std::wstring> SplitAtFirstBackslash(const std::wstring& path);
std::pair<std::wstring, std::wstring> SplitAtLastBackslash(const std::wstring& path);

// Opens hive\subkey with the mask (the 32-bit view unless the mask has KEY_WOW64_64KEY).
win::RegKey OpenKey(HKEY hive, const std::wstring& subkey, REGSAM mask);
std::wstring ReadString(HKEY key, const std::wstring& subkey, const std::wstring& valueName);
bool ValueExists(HKEY key, const std::wstring& valueName);
DWORD GetValueType(HKEY key, const std::wstring& valueName);
uint32_t ReadDword(HKEY key, const std::wstring& valueName);
uint64_t ReadQword(HKEY key, const std::wstring& valueName);
// `expected` arrives lower-cased. Registry failures give false; compared with a number, a text
// that is not wholly a number in range throws (std::invalid_argument / std::out_of_range).
bool ValueDataMatches(HKEY key, DWORD type, const std::wstring& valueName, const std::wstring& expected);
std::vector<std::wstring> EnumerateSubkeys(HKEY key);

// How many subkey enumerations this process has made (for the eligibility benchmark).
uint64_t SubkeyEnumerationCount();

}  // namespace win32
