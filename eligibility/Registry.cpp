#include "eligibility/Registry.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "machine/Wow64.h"
#include "win/Text.h"

namespace win32 {

const std::map<std::wstring, std::wstring> kHiveAliases = {
    {L"hkcc", L"hkey_current_config"}, {L"hkcr", L"hkey_classes_root"}, {L"hkcu", L"hkey_current_user"},
    {L"hklm", L"hkey_local_machine"},  {L"hku", L"hkey_users"},
};

const std::vector<std::wstring> kHiveNames = {L"hkey_local_machine", L"hkey_current_user", L"hkey_classes_root",
                                              L"hkey_users", L"hkey_current_config"};

const std::vector<std::wstring> kSoftwarePrefixes = {L"hkey_local_machine\\software\\",
                                                     L"hkey_current_user\\software\\"};

const std::vector<std::wstring> kWow6432Prefixes = {L"hkey_local_machine\\software\\wow6432node\\",
                                                    L"hkey_current_user\\software\\wow6432node\\"};

const std::unordered_map<std::wstring, HKEY> kHiveKeys = {
    {L"hkey_local_machine", HKEY_LOCAL_MACHINE}, {L"hkey_current_user", HKEY_CURRENT_USER},
    {L"hkey_classes_root", HKEY_CLASSES_ROOT},   {L"hkey_users", HKEY_USERS},
    {L"hkey_current_config", HKEY_CURRENT_CONFIG},
};

namespace {

std::atomic<uint64_t> g_subkeyEnumerations{0};


// `path` begins with `component` followed by a backslash.
bool BeginsWithComponent(const std::wstring& path, const std::wstring& component) {
  return path.size() > component.size() && path.starts_with(component) && path[component.size()] == L'\\';
}

bool BeginsWithSoftwarePrefix(const std::wstring& path) {
  for (const auto& prefix : kSoftwarePrefixes)
    if (path.starts_with(prefix)) return true;
  return false;
}

// A mask without a WOW64 view bit means the default view of the 32-bit program.
REGSAM WithDefaultView(REGSAM mask) {
  return (mask & KEY_WOW64_64KEY) ? mask : (mask | Default32BitRegistryView());
}

}  // namespace

bool IsWow64() { return ::IsWow64(); }

std::vector<std::wstring> ExpandKeyPath(const std::wstring& path) { return ExpandKeyPath(path, IsWow64()); }

std::vector<std::wstring> ExpandKeyPath(const std::wstring& path, bool wow64) {
  if (path.empty()) return {};
  if (path.starts_with(L"hk")) {
    if (path.compare(2, 2, L"ey") == 0) {
      for (const auto& name : kHiveNames)
        if (BeginsWithComponent(path, name)) return {path};
    }
    for (const auto& [shortName, longName] : kHiveAliases)
      if (BeginsWithComponent(path, shortName)) return {longName + path.substr(shortName.size())};
  }
  std::vector<std::wstring> candidates;
  for (const auto& prefix : kSoftwarePrefixes) candidates.push_back(prefix + path);
  if (wow64)
    for (const auto& prefix : kWow6432Prefixes) candidates.push_back(prefix + path);
  return candidates;
}

bool ApplyWow64View(std::wstring& path, REGSAM& mask) { return ApplyWow64View(path, mask, IsWow64()); }

bool ApplyWow64View(std::wstring& path, REGSAM& mask, bool wow64) {
  if (!BeginsWithSoftwarePrefix(path)) return false;
  const auto components = SplitPath(path);
  if (win::Lower(components.at(2)) == L"wow6432node") {
    // No Wow6432Node on 32-bit Windows. On 64-bit Windows "software\" in the default view already
    // is the Wow6432Node branch.
    if (!wow64) return true;
    const auto at = path.find(L"wow6432node\\");
    if (at != std::wstring::npos) path.erase(at, 12);
    return false;
  }
  if (wow64) mask |= KEY_WOW64_64KEY;
  return false;
}

std::vector<std::wstring> SplitPath(const std::wstring& path) {
  std::vector<std::wstring> components;
  size_t start = 0;
  while (start < path.size()) {
    const auto end = path.find(L'\\', start);
    if (end == std::wstring::npos) {
      components.push_back(path.substr(start));
      break;
    }
    components.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

std::pair<std::wstring, std::wstring> SplitAtFirstBackslash(const std::wstring& path) {
  const auto at = path.find(L'\\');
  if (at == std::wstring::npos) return {path, path};
  return {path.substr(0, at), path.substr(at + 1)};
}

std::pair<std::wstring, std::wstring> SplitAtLastBackslash(const std::wstring& path) {
  const auto at = path.rfind(L'\\');
  if (at == std::wstring::npos) return {path, path};
  return {path.substr(0, at), path.substr(at + 1)};
}

win::RegKey OpenKey(HKEY hive, const std::wstring& subkey, REGSAM mask) {
  win::RegKey key;
  const LONG status = RegOpenKeyExW(hive, subkey.c_str(), 0, WithDefaultView(mask), key.Put());
  if (status != ERROR_SUCCESS) throw RegistryError("Cannot open registry key: RegOpenKeyEx failed.", status);
  return key;
}

std::wstring ReadString(HKEY key, const std::wstring& subkey, const std::wstring& valueName) {
  static const char* const kMessage = "Cannot read string from registry";
  // RegGetValueW would open a subkey in the process's own view; open it in the program's default one.
  win::RegKey opened;
  if (!subkey.empty()) {
    const LONG status =
        RegOpenKeyExW(key, subkey.c_str(), 0, WithDefaultView(KEY_QUERY_VALUE), opened.Put());
    if (status != ERROR_SUCCESS) throw RegistryError(kMessage, status);
    key = opened.Get();
  }
  DWORD bytes = 0;
  LONG status = RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
  if (status != ERROR_SUCCESS) throw RegistryError(kMessage, status);
  // A stored string need not end in a null, nor have an even size, nor any size at all: Windows
  // counts the null it adds, Wine does not. One character more than asked for leaves room for it.
  std::wstring text((bytes + 1) / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  status = RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
  if (status != ERROR_SUCCESS) throw RegistryError(kMessage, status);
  text.resize(std::min<size_t>(bytes / sizeof(wchar_t), text.size()));
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

bool ValueExists(HKEY key, const std::wstring& valueName) {
  const LONG status = RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr);
  // Any failure but "not found" is a failed query, which counts as absent as well.
  return status == ERROR_SUCCESS;
}

DWORD GetValueType(HKEY key, const std::wstring& valueName) {
  DWORD type = 0;
  if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) return 0;
  return type;
}

namespace {

// A fixed-size number value of the key itself (`type` is the RRF_RT_ flag of its registry type).
template <typename Number>
Number ReadNumber(HKEY key, const std::wstring& valueName, DWORD type, const char* failure) {
  Number value = 0;
  DWORD bytes = sizeof(value);
  const LONG status = RegGetValueW(key, nullptr, valueName.c_str(), type, nullptr, &value, &bytes);
  if (status != ERROR_SUCCESS) throw RegistryError(failure, status);
  return value;
}

// The number a whole text gives (leading white space and a sign allowed, as the conversion reads
// them): a text with anything after its digits ("12abc") is not a number either.
template <typename Convert>
auto WholeNumber(const std::wstring& text, Convert convert) {
  size_t used = 0;
  const auto value = convert(text, &used);
  if (used != text.size()) throw std::invalid_argument("not a number");
  return value;
}

}  // namespace

uint32_t ReadDword(HKEY key, const std::wstring& valueName) {
  return ReadNumber<uint32_t>(key, valueName, RRF_RT_REG_DWORD, "Cannot read DWORD from registry.");
}

uint64_t ReadQword(HKEY key, const std::wstring& valueName) {
  return ReadNumber<uint64_t>(key, valueName, RRF_RT_REG_QWORD, "Cannot read QWORD from registry.");
}

bool ValueDataMatches(HKEY key, DWORD type, const std::wstring& valueName, const std::wstring& expected) {
  // The value is read before the expected text is converted: an unreadable value is no match,
  // whatever the text.
  switch (type) {
    case REG_SZ: {
      std::wstring data;
      try {
        data = ReadString(key, L"", valueName);
      } catch (const RegistryError&) {
        return false;
      }
      return win::Lower(std::move(data)) == expected;
    }
    case REG_DWORD: {
      uint32_t data = 0;
      try {
        data = ReadDword(key, valueName);
      } catch (const RegistryError&) {
        return false;
      }
      return WholeNumber(expected, [](const std::wstring& text, size_t* used) { return std::stoul(text, used, 10); }) ==
             data;
    }
    case REG_QWORD: {
      uint64_t data = 0;
      try {
        data = ReadQword(key, valueName);
      } catch (const RegistryError&) {
        return false;
      }
      return WholeNumber(expected,
                         [](const std::wstring& text, size_t* used) { return std::stoull(text, used, 10); }) == data;
    }
    default:
      return false;
  }
}

std::vector<std::wstring> EnumerateSubkeys(HKEY key) {
  ++g_subkeyEnumerations;
  DWORD count = 0;
  DWORD longest = 0;
  LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS)
    throw RegistryError("RegQueryInfoKey failed while preparing for subkey enumeration.", status);
  std::vector<wchar_t> buffer(static_cast<size_t>(longest) + 1, L'\0');
  std::vector<std::wstring> names;
  names.reserve(count);
  for (DWORD index = 0; index < count; ++index) {
    DWORD length = longest + 1;
    status = RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) throw RegistryError("Cannot enumerate subkeys: RegEnumKeyEx failed.", status);
    names.push_back(win::Lower(std::wstring(buffer.data(), length)));
  }
  return names;
}

uint64_t SubkeyEnumerationCount() { return g_subkeyEnumerations.load(); }

}  // namespace win32
