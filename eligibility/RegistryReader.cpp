#include "eligibility/RegistryReader.h"

#include <algorithm>

#include "eligibility/Registry.h"
#include "win/Text.h"

bool RegistryReader::KeyExists(const std::wstring& fullPath) {
  if (const auto known = m_keyAnswers.find(fullPath); known != m_keyAnswers.end()) return known->second;
  const bool exists = FindKey(fullPath);  // a path the tables cannot read throws and is not kept
  m_keyAnswers.emplace(fullPath, exists);
  return exists;
}

bool RegistryReader::FindKey(const std::wstring& fullPath) {
  using namespace win32;
  const bool underSoftware = std::ranges::any_of(
      kSoftwarePrefixes, [&](const std::wstring& prefix) { return fullPath.starts_with(prefix); });

  if (!underSoftware) {
    const auto [hiveName, subkey] = SplitAtFirstBackslash(fullPath);
    const HKEY hive = kHiveKeys.at(hiveName);
    try {
      OpenKey(hive, subkey, KEY_READ);
      return true;
    } catch (const RegistryError&) {
      return false;
    }
  }

  // Under hive\software: the direct subkeys of hive\software, listed once per view, answer most
  // questions without opening anything.
  std::wstring adjusted = fullPath;
  REGSAM view = 0;
  if (ApplyWow64View(adjusted, view)) return false;
  const auto components = SplitPath(fullPath);
  const std::wstring& hiveName = components[0];
  const std::wstring& parent = components[1];
  const size_t prefixLength = hiveName.size() + 1 + parent.size() + 1;
  const HKEY hive = kHiveKeys.at(hiveName);
  try {
    const auto& names = m_subkeyCache[hive][view][parent];
    if (names.empty()) LoadSubkeys(hive, view, parent);
    const std::wstring rest = adjusted.size() > prefixLength ? adjusted.substr(prefixLength) : std::wstring();
    const std::wstring first = rest.substr(0, rest.find(L'\\'));
    if (std::ranges::find(names, first) == names.end()) return false;
    const auto parentKey = OpenKey(hive, parent, view | KEY_READ);
    OpenKey(parentKey.Get(), rest, view | KEY_READ);
    return true;
  } catch (const RegistryError&) {
    return false;
  }
}

bool RegistryReader::ReadValueAsString(const std::wstring& hiveName, const std::wstring& subkey,
                                       const std::wstring& valueName, std::wstring& output) {
  using namespace win32;
  std::vector<std::wstring> candidates{hiveName + L"\\" + subkey};
  // On 64-bit Windows a lower-case "software" subkey is looked for in the 64-bit view first, then in
  // the 32-bit one.
  if (IsWow64() && subkey.starts_with(L"software"))
    candidates.push_back(hiveName + L"\\" + subkey.substr(0, 8) + L"\\wow6432node" + subkey.substr(8));

  for (auto& candidate : candidates) {
    if (!KeyExists(candidate)) continue;
    REGSAM mask = KEY_READ;
    if (ApplyWow64View(candidate, mask)) continue;
    try {
      const auto [hive, rest] = SplitAtFirstBackslash(candidate);
      const auto key = OpenKey(kHiveKeys.at(hive), rest, mask);
      if (!ValueExists(key.Get(), valueName)) continue;
      switch (GetValueType(key.Get(), valueName)) {
        case REG_SZ:
          output = ReadString(key.Get(), L"", valueName);
          return true;
        case REG_DWORD:
          output = win::Decimal(ReadDword(key.Get(), valueName));
          return true;
        case REG_QWORD:
          output = win::Decimal(ReadQword(key.Get(), valueName));
          return true;
        default:
          continue;
      }
    } catch (const RegistryError&) {
      continue;
    }
  }
  return false;
}

void RegistryReader::LoadSubkeys(HKEY hive, REGSAM mask, const std::wstring& parent) {
  const auto key = win32::OpenKey(hive, parent, mask | KEY_READ);
  m_subkeyCache[hive][mask][parent] = win32::EnumerateSubkeys(key.Get());
}
