// Registry helpers of the offer rules: key-path texts, views and splitting as pure rules, then keys
// and values of the prefix's real registry, written in both views by the tests themselves.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "eligibility/Registry.h"
#include "eligibility/RegistryReader.h"
#include "win/Handle.h"

using Paths = std::vector<std::wstring>;

TEST(RegistryPaths, ExpandKeyPath) {
  for (const bool wow64 : {false, true}) {
    SCOPED_TRACE(wow64);
    EXPECT_EQ(win32::ExpandKeyPath(L"", wow64), Paths{});
    EXPECT_EQ(win32::ExpandKeyPath(L"hkey_users\\s-1-5-18", wow64), Paths{L"hkey_users\\s-1-5-18"});
    EXPECT_EQ(win32::ExpandKeyPath(L"hklm\\software\\x", wow64), Paths{L"hkey_local_machine\\software\\x"});
    EXPECT_EQ(win32::ExpandKeyPath(L"hkcu\\a", wow64), Paths{L"hkey_current_user\\a"});
    EXPECT_EQ(win32::ExpandKeyPath(L"hkcr\\a", wow64), Paths{L"hkey_classes_root\\a"});
    EXPECT_EQ(win32::ExpandKeyPath(L"hkcc\\a", wow64), Paths{L"hkey_current_config\\a"});
    EXPECT_EQ(win32::ExpandKeyPath(L"hku\\a", wow64), Paths{L"hkey_users\\a"});
    // Not a hive: no backslash after the name, or an "hkey" name outside the table.
    for (const std::wstring path : {L"vendor\\app", L"hkey_local_machine", L"hklm", L"hkeyfoo\\x", L"hk"}) {
      Paths expected{L"hkey_local_machine\\software\\" + path, L"hkey_current_user\\software\\" + path};
      if (wow64) {
        expected.push_back(L"hkey_local_machine\\software\\wow6432node\\" + path);
        expected.push_back(L"hkey_current_user\\software\\wow6432node\\" + path);
      }
      EXPECT_EQ(win32::ExpandKeyPath(path, wow64), expected);
    }
  }
}

TEST(RegistryPaths, ApplyWow64View) {
  struct Case {
    std::wstring path;
    bool wow64;
    bool skip;
    std::wstring adjusted;
    REGSAM added;
  };
  const std::wstring hklm = L"hkey_local_machine\\software\\";
  const Case cases[] = {
      {hklm + L"vendor\\app", true, false, hklm + L"vendor\\app", KEY_WOW64_64KEY},
      {L"hkey_current_user\\software\\x", true, false, L"hkey_current_user\\software\\x", KEY_WOW64_64KEY},
      {hklm + L"vendor\\app", false, false, hklm + L"vendor\\app", 0},
      {hklm + L"wow6432node\\vendor\\app", true, false, hklm + L"vendor\\app", 0},
      {hklm + L"wow6432node", true, false, hklm + L"wow6432node", 0},
      {hklm + L"wow6432node\\vendor", false, true, hklm + L"wow6432node\\vendor", 0},
      {L"hkey_local_machine\\SOFTWARE\\x", true, false, L"hkey_local_machine\\SOFTWARE\\x", 0},
      {L"hkey_local_machine\\software", true, false, L"hkey_local_machine\\software", 0},
      {L"hkey_users\\s-1-5-18", true, false, L"hkey_users\\s-1-5-18", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.path) + (c.wow64 ? " on 64-bit" : " on 32-bit"));
    std::wstring path = c.path;
    REGSAM mask = KEY_READ;
    EXPECT_EQ(win32::ApplyWow64View(path, mask, c.wow64), c.skip);
    EXPECT_EQ(path, c.adjusted);
    EXPECT_EQ(mask, KEY_READ | c.added);
  }
  for (const bool wow64 : {false, true}) {
    std::wstring bare = L"hkey_current_user\\software\\";
    REGSAM mask = KEY_READ;
    EXPECT_THROW(win32::ApplyWow64View(bare, mask, wow64), std::out_of_range);
  }
}

TEST(RegistryPaths, Splitting) {
  EXPECT_EQ(win32::SplitPath(L"a\\b\\c"), (Paths{L"a", L"b", L"c"}));
  EXPECT_EQ(win32::SplitPath(L"\\a\\\\b"), (Paths{L"", L"a", L"", L"b"}));
  EXPECT_EQ(win32::SplitPath(L"a\\b\\"), (Paths{L"a", L"b"}));
  EXPECT_EQ(win32::SplitPath(L"a\\b\\\\"), (Paths{L"a", L"b", L""}));
  EXPECT_EQ(win32::SplitPath(L""), Paths{});

  using Halves = std::pair<std::wstring, std::wstring>;
  EXPECT_EQ(win32::SplitAtFirstBackslash(L"a\\b\\c"), (Halves{L"a", L"b\\c"}));
  EXPECT_EQ(win32::SplitAtLastBackslash(L"a\\b\\c"), (Halves{L"a\\b", L"c"}));
  EXPECT_EQ(win32::SplitAtFirstBackslash(L"hkey_users"), (Halves{L"hkey_users", L"hkey_users"}));
  EXPECT_EQ(win32::SplitAtLastBackslash(L"value"), (Halves{L"value", L"value"}));
}

namespace {

// Keys named after the process, so that parallel runs keep apart. HKLM\Software\<name>: Both and
// Only64 in the 64-bit view, Both and Only32 in the 32-bit view (Wow6432Node); HKCU\Software\<name>\Sub.
class RegistryKeys : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    name = L"WelvaneTestRegistry" + std::to_wstring(GetCurrentProcessId());
    lower = name;
    for (auto& c : lower) c = towlower(c);
    const auto both64 = Create(HKEY_LOCAL_MACHINE, name + L"\\Both", KEY_WOW64_64KEY);
    SetValue(both64.Get(), L"View", REG_SZ, L"64", 6);
    const auto both32 = Create(HKEY_LOCAL_MACHINE, name + L"\\Both", KEY_WOW64_32KEY);
    SetValue(both32.Get(), L"View", REG_SZ, L"32", 6);
    SetValue(both32.Get(), L"Only32Value", REG_SZ, L"from 32", 16);
    Create(HKEY_LOCAL_MACHINE, name + L"\\Only32", KEY_WOW64_32KEY);
    Create(HKEY_CURRENT_USER, name + L"\\Sub", KEY_WOW64_64KEY);
    Create(HKEY_CURRENT_USER, name + L"\\Sub", KEY_WOW64_32KEY);

    const auto only64 = Create(HKEY_LOCAL_MACHINE, name + L"\\Only64", KEY_WOW64_64KEY);
    const DWORD ten = 10, max = 0xFFFFFFFF;
    const uint64_t big = (uint64_t{1} << 40) + 5;
    SetValue(only64.Get(), L"", REG_SZ, L"default", 16);
    SetValue(only64.Get(), L"Text", REG_SZ, L"Yes", 8);
    SetValue(only64.Get(), L"Ten", REG_DWORD, &ten, 4);
    SetValue(only64.Get(), L"Max", REG_DWORD, &max, 4);
    SetValue(only64.Get(), L"Big", REG_QWORD, &big, 8);
    SetValue(only64.Get(), L"Expand", REG_EXPAND_SZ, L"10", 6);
    SetValue(only64.Get(), L"Empty", REG_SZ, nullptr, 0);
    SetValue(only64.Get(), L"Unterminated", REG_SZ, L"abc", 6);
  }

  static void TearDownTestSuite() {
    for (const HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
      for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        DeleteTree(hive, view, name);
        DeleteTree(hive, view, name + L"Late");
      }
  }

  void SetUp() override {
    if (!win32::IsWow64()) GTEST_SKIP() << "needs the two views of 64-bit Windows";
  }

  // `path` is under hive\Software.
  static win::RegKey Create(HKEY hive, const std::wstring& path, REGSAM view) {
    win::RegKey key;
    EXPECT_EQ(RegCreateKeyExW(hive, (L"Software\\" + path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              key.Put(), nullptr),
              ERROR_SUCCESS);
    return key;
  }

  static void DeleteTree(HKEY hive, REGSAM view, const std::wstring& path) {
    win::RegKey software;
    if (RegOpenKeyExW(hive, L"Software", 0, KEY_ALL_ACCESS | view, software.Put()) == ERROR_SUCCESS)
      RegDeleteTreeW(software.Get(), path.c_str());
  }

  static void SetValue(HKEY key, const wchar_t* value, DWORD type, const void* data, DWORD bytes) {
    RegSetValueExW(key, value, 0, type, static_cast<const BYTE*>(data), bytes);
  }

  static std::wstring Hklm(const std::wstring& rest) { return L"hkey_local_machine\\software\\" + rest; }
  static std::wstring Hkcu(const std::wstring& rest) { return L"hkey_current_user\\software\\" + rest; }

  static inline std::wstring name;   // as created
  static inline std::wstring lower;  // as the offer rules write it
};

}  // namespace

TEST_F(RegistryKeys, KeyExistsInTheViewItsPathNames) {
  RegistryReader reader;
  EXPECT_TRUE(reader.KeyExists(Hklm(lower + L"\\only64")));
  EXPECT_FALSE(reader.KeyExists(Hklm(lower + L"\\only32")));
  EXPECT_FALSE(reader.KeyExists(Hklm(lower + L"\\both\\missing")));
  EXPECT_FALSE(reader.KeyExists(Hklm(L"welvanenosuchkey\\x")));
  EXPECT_TRUE(reader.KeyExists(Hklm(L"wow6432node\\" + lower + L"\\only32")));
  EXPECT_FALSE(reader.KeyExists(Hklm(L"wow6432node\\" + lower + L"\\only64")));
  EXPECT_TRUE(reader.KeyExists(Hkcu(lower + L"\\sub")));
  EXPECT_TRUE(reader.KeyExists(Hkcu(L"wow6432node\\" + lower + L"\\sub")));
  // Other paths open as written, in the default 32-bit view.
  EXPECT_TRUE(reader.KeyExists(L"hkey_local_machine\\SOFTWARE\\" + lower + L"\\only32"));
  EXPECT_FALSE(reader.KeyExists(L"hkey_local_machine\\SOFTWARE\\" + lower + L"\\only64"));
  EXPECT_FALSE(reader.KeyExists(L"hkey_users\\welvanenosuchkey"));
  EXPECT_THROW(reader.KeyExists(L"hkey_nowhere\\software"), std::out_of_range);
  // The 64-bit build opens the 32-bit program's default view too.
  EXPECT_TRUE(win32::OpenKey(HKEY_LOCAL_MACHINE, L"Software\\" + name + L"\\Only32", KEY_READ));
  try {
    win32::OpenKey(HKEY_LOCAL_MACHINE, L"Software\\" + name + L"\\Only64", KEY_READ);
    ADD_FAILURE() << "opened the 64-bit view";
  } catch (const win32::RegistryError& error) {
    EXPECT_STREQ(error.what(), "Cannot open registry key: RegOpenKeyEx failed.");
    EXPECT_EQ(error.ErrorCode(), ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(RegistryKeys, SubkeyListsAreKeptForThePass) {
  RegistryReader reader;
  const auto before = win32::SubkeyEnumerationCount();
  for (int round = 0; round < 3; ++round)
    for (const auto& path : {Hklm(lower + L"\\only64"), Hklm(L"welvanenosuchkey"), Hkcu(lower + L"\\sub"),
                             Hklm(L"wow6432node\\" + lower), Hkcu(L"wow6432node\\" + lower)})
      reader.KeyExists(path);
  EXPECT_EQ(win32::SubkeyEnumerationCount() - before, 4u);  // one per hive and view
  for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    const auto& names = reader.m_subkeyCache[HKEY_LOCAL_MACHINE][view][L"software"];
    EXPECT_NE(std::ranges::find(names, lower), names.end()) << view;
  }

  // Created now: found under a listed name, not under a new one until the next pass.
  Create(HKEY_LOCAL_MACHINE, name + L"\\Later", KEY_WOW64_64KEY);
  Create(HKEY_LOCAL_MACHINE, name + L"Late\\x", KEY_WOW64_64KEY);
  EXPECT_TRUE(reader.KeyExists(Hklm(lower + L"\\later")));
  EXPECT_FALSE(reader.KeyExists(Hklm(lower + L"late\\x")));
  EXPECT_EQ(win32::SubkeyEnumerationCount() - before, 4u);
  EXPECT_TRUE(RegistryReader().KeyExists(Hklm(lower + L"late\\x")));
}

TEST_F(RegistryKeys, TypedReads) {
  const auto key = win32::OpenKey(HKEY_LOCAL_MACHINE, L"Software\\" + name + L"\\Only64", KEY_READ | KEY_WOW64_64KEY);
  const HKEY k = key.Get();
  EXPECT_TRUE(win32::ValueExists(k, L"Text"));
  EXPECT_FALSE(win32::ValueExists(k, L"Missing"));
  EXPECT_EQ(win32::GetValueType(k, L"Ten"), DWORD{REG_DWORD});
  EXPECT_EQ(win32::GetValueType(k, L"Big"), DWORD{REG_QWORD});
  EXPECT_EQ(win32::GetValueType(k, L"Missing"), 0u);
  EXPECT_EQ(win32::ReadString(k, L"", L""), L"default");
  EXPECT_EQ(win32::ReadString(k, L"", L"Empty"), L"");
  EXPECT_EQ(win32::ReadString(k, L"", L"Unterminated"), L"abc");
  EXPECT_EQ(win32::ReadString(HKEY_LOCAL_MACHINE, L"Software\\" + name + L"\\Both", L"View"), L"32");
  EXPECT_EQ(win32::ReadDword(k, L"Ten"), 10u);
  EXPECT_EQ(win32::ReadQword(k, L"Big"), (uint64_t{1} << 40) + 5);
  const auto expectError = [](auto read, const char* message, LONG code) {
    try {
      read();
      ADD_FAILURE() << "no error: " << message;
    } catch (const win32::RegistryError& error) {
      EXPECT_STREQ(error.what(), message);
      EXPECT_EQ(error.ErrorCode(), code) << message;
    }
  };
  expectError([&] { win32::ReadString(k, L"", L"Missing"); }, "Cannot read string from registry", ERROR_FILE_NOT_FOUND);
  expectError([&] { win32::ReadDword(k, L"Text"); }, "Cannot read DWORD from registry.", ERROR_UNSUPPORTED_TYPE);
  expectError([&] { win32::ReadQword(k, L"Ten"); }, "Cannot read QWORD from registry.", ERROR_UNSUPPORTED_TYPE);
}

TEST_F(RegistryKeys, ValueDataMatches) {
  const auto key = win32::OpenKey(HKEY_LOCAL_MACHINE, L"Software\\" + name + L"\\Only64", KEY_READ | KEY_WOW64_64KEY);
  const HKEY k = key.Get();
  EXPECT_TRUE(win32::ValueDataMatches(k, REG_SZ, L"Text", L"yes"));
  EXPECT_FALSE(win32::ValueDataMatches(k, REG_SZ, L"Text", L"Yes"));  // expected texts come lower-cased
  EXPECT_FALSE(win32::ValueDataMatches(k, REG_SZ, L"Text", L"ye"));
  for (const std::wstring text : {L"10", L"+10", L"\t010"})
    EXPECT_TRUE(win32::ValueDataMatches(k, REG_DWORD, L"Ten", text)) << text;
  EXPECT_FALSE(win32::ValueDataMatches(k, REG_DWORD, L"Ten", L"11"));
  EXPECT_TRUE(win32::ValueDataMatches(k, REG_DWORD, L"Max", L"-1"));
  for (const wchar_t* text : {L"abc", L"10abc", L"10 "})
    EXPECT_THROW(win32::ValueDataMatches(k, REG_DWORD, L"Ten", text), std::invalid_argument) << text;
  EXPECT_THROW(win32::ValueDataMatches(k, REG_DWORD, L"Ten", L"4294967296"), std::out_of_range);
  EXPECT_TRUE(win32::ValueDataMatches(k, REG_QWORD, L"Big", L"  1099511627781"));
  EXPECT_THROW(win32::ValueDataMatches(k, REG_QWORD, L"Big", L"1099511627781 and more"), std::invalid_argument);
  EXPECT_FALSE(win32::ValueDataMatches(k, REG_QWORD, L"Big", L"5"));
  EXPECT_THROW(win32::ValueDataMatches(k, REG_QWORD, L"Big", L"x1"), std::invalid_argument);
  EXPECT_FALSE(win32::ValueDataMatches(k, REG_EXPAND_SZ, L"Expand", L"10"));
  // An unreadable value is no match, whatever the text.
  EXPECT_FALSE(win32::ValueDataMatches(k, REG_DWORD, L"Missing", L"abc"));
  EXPECT_FALSE(win32::ValueDataMatches(k, REG_QWORD, L"Text", L"abc"));
}

TEST_F(RegistryKeys, ReadValueAsStringTriesThe64BitViewFirst) {
  RegistryReader reader;
  std::wstring text;
  const std::wstring both = L"software\\" + lower + L"\\both", only64 = L"software\\" + lower + L"\\only64";
  EXPECT_TRUE(reader.ReadValueAsString(L"hkey_local_machine", both, L"view", text));
  EXPECT_EQ(text, L"64");
  EXPECT_TRUE(reader.ReadValueAsString(L"hkey_local_machine", both, L"only32value", text));
  EXPECT_EQ(text, L"from 32");
  EXPECT_TRUE(reader.ReadValueAsString(L"hkey_local_machine", only64, L"ten", text));
  EXPECT_EQ(text, L"10");
  EXPECT_TRUE(reader.ReadValueAsString(L"hkey_local_machine", only64, L"big", text));
  EXPECT_EQ(text, L"1099511627781");
  // "SOFTWARE" in capitals: the default 32-bit view only.
  EXPECT_TRUE(reader.ReadValueAsString(L"hkey_local_machine", L"SOFTWARE\\" + name + L"\\Both", L"View", text));
  EXPECT_EQ(text, L"32");
  text = L"untouched";
  EXPECT_FALSE(reader.ReadValueAsString(L"hkey_local_machine", L"SOFTWARE\\" + name + L"\\Only64", L"Text", text));
  EXPECT_FALSE(reader.ReadValueAsString(L"hkey_local_machine", only64, L"expand", text));
  EXPECT_FALSE(reader.ReadValueAsString(L"hkey_local_machine", only64, L"missing", text));
  EXPECT_EQ(text, L"untouched");
  EXPECT_THROW(reader.ReadValueAsString(L"hklm", both, L"view", text), std::out_of_range);
}
