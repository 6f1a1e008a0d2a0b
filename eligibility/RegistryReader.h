#pragma once
// The registry side of one eligibility pass: key existence through a cache of the software keys'
// direct subkeys (one enumeration per hive and view per pass), and values read as text.
#include <windows.h>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class RegistryReader {
 public:
  // Registry failures give false. Each path is looked up once per pass; its answer is kept, as the
  // subkey lists are (many offers name the same keys).
  bool KeyExists(const std::wstring& fullPath);
  // True, with `output` set, when a value was found and read.
  bool ReadValueAsString(const std::wstring& hiveName, const std::wstring& subkey, const std::wstring& valueName,
                         std::wstring& output);

  // hive -> view mask (0 or KEY_WOW64_64KEY) -> parent key name -> lower-cased subkey names.
  std::map<HKEY, std::map<REGSAM, std::map<std::wstring, std::vector<std::wstring>>>> m_subkeyCache;
  std::unordered_map<std::wstring, bool> m_keyAnswers;

 private:
  bool FindKey(const std::wstring& fullPath);
  void LoadSubkeys(HKEY hive, REGSAM mask, const std::wstring& parent);
};
