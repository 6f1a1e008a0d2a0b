// ZIP entry names: how their bytes become text, and which names may be written under the folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "download/ZipEntryName.h"
#include "win/Text.h"

namespace {

std::string Utf8(const std::wstring& text) { return win::ToUtf8(text); }

// The full path Windows makes of `relative` under `folder`, the way CreateFileW would see it.
std::wstring FullPath(const std::wstring& folder, const std::wstring& relative) {
  const std::wstring joined = folder + L"\\" + relative;
  wchar_t buffer[1024] = {};
  const DWORD length = GetFullPathNameW(joined.c_str(), 1024, buffer, nullptr);
  return std::wstring(buffer, length);
}

}  // namespace

TEST(ZipEntryName, AcceptedNamesLandUnderTheFolder) {
  struct Case {
    const wchar_t* name;
    const wchar_t* relative;
    bool directory;
  };
  const Case cases[] = {
      {L"setup.exe", L"setup.exe", false},
      {L"bin/setup.exe", L"bin\\setup.exe", false},
      {L"bin\\tools\\x.dll", L"bin\\tools\\x.dll", false},
      {L"mixed/sep\\x.dll", L"mixed\\sep\\x.dll", false},
      {L"docs/", L"docs", true},
      {L"docs\\", L"docs", true},
      {L"a/./b.txt", L"a\\b.txt", false},
      {L"a//b.txt", L"a\\b.txt", false},
      {L"./", L"", true},
      {L"..foo/x", L"..foo\\x", false},
      {L"caf\u00e9.exe", L"caf\u00e9.exe", false},
      {L"con-tool.exe", L"con-tool.exe", false},
      {L"COM10.txt", L"COM10.txt", false},
      {L"nullable.txt", L"nullable.txt", false},
  };
  for (const Case& c : cases) {
    const auto target = ZipEntryTargetFor(c.name);
    ASSERT_TRUE(target.has_value()) << Utf8(c.name);
    EXPECT_EQ(target->relativePath, c.relative) << Utf8(c.name);
    EXPECT_EQ(target->isDirectory, c.directory) << Utf8(c.name);
  }
}

TEST(ZipEntryName, RefusesNamesThatLeaveTheFolderOrNameDevices) {
  const std::wstring refused[] = {
      L"",
      L"../evil.exe",
      L"..\\evil.exe",
      L"a/../../x",
      L"a/../b",  // no ".." at all, even one that would stay inside
      L"a/..",
      L"C:/x.exe",
      L"C:x.exe",
      L"c:\\windows\\x.exe",
      L"x.exe:ads",
      L"dir/x.exe::$DATA",
      L"/x",
      L"\\x",
      L"\\\\server\\share\\x.exe",
      L"//server/share/x.exe",
      L"nul.txt",
      L"NUL",
      L"dir/CON/x.exe",
      L"aux/",
      L"prn.log",
      L"lpt1",
      L"com9.tar.gz",
      L"COM\u00b2",
      L"conin$",
      L"a/b./c",
      L"a /b",
      L"trailing.",
      L"x|y.exe",
      L"x?.exe",
      L"x*.exe",
      L"quote\".exe",
      L"<x>",
      L"tab\there",
      L".",
      L"a/" + std::wstring(256, L'n'),
  };
  for (const auto& name : refused) {
    EXPECT_FALSE(ZipEntryTargetFor(name).has_value()) << Utf8(name);
  }
}

// Every name of up to five characters from the characters that make paths: whatever is accepted
// lands strictly below the folder once Windows has normalised the path.
TEST(ZipEntryName, NoShortNameEscapesTheFolder) {
  const std::wstring alphabet = L"a./\\: ";
  const std::wstring folder = L"C:\\unpack\\here";
  std::vector<std::wstring> names{L""};
  size_t accepted = 0;
  for (int length = 1; length <= 5; ++length) {
    std::vector<std::wstring> longer;
    for (const auto& prefix : names) {
      for (const wchar_t c : alphabet) longer.push_back(prefix + c);
    }
    for (const auto& name : longer) {
      const auto target = ZipEntryTargetFor(name);
      if (!target || target->relativePath.empty()) continue;
      ++accepted;
      const std::wstring full = FullPath(folder, target->relativePath);
      EXPECT_EQ(full.rfind(folder + L"\\", 0), 0u) << Utf8(name) << " -> " << Utf8(full);
      EXPECT_EQ(full, folder + L"\\" + target->relativePath) << Utf8(name) << " is changed by Windows";
    }
    names = std::move(longer);
  }
  EXPECT_GT(accepted, 100u);
}

TEST(ZipEntryName, Cp437UnlessTheEntrySaysUtf8) {
  EXPECT_EQ(DecodeZipEntryName("caf\x82.exe", false), L"caf\u00e9.exe");
  EXPECT_EQ(DecodeZipEntryName("caf\xC3\xA9.exe", true), L"caf\u00e9.exe");
  // The same UTF-8 bytes without the flag are two code page 437 characters.
  EXPECT_EQ(DecodeZipEntryName("caf\xC3\xA9.exe", false), L"caf\u251c\u2310.exe");
  EXPECT_EQ(DecodeZipEntryName("\x80\x9e\xe1\xfd\xff", false), L"\u00c7\u20a7\u00df\u00b2\u00a0");
  EXPECT_EQ(DecodeZipEntryName("plain/ascii.txt", false), L"plain/ascii.txt");
  EXPECT_EQ(DecodeZipEntryName("\xE5\x90\x8D\xE5\x89\x8D.txt", true), L"\u540d\u524d.txt");
  EXPECT_EQ(DecodeZipEntryName("\xF0\x9F\x93\xA6", true), L"\U0001F4E6");  // a surrogate pair
  EXPECT_EQ(DecodeZipEntryName("", true), L"");

  // A name flagged UTF-8 that is not well-formed UTF-8 is refused, not guessed at.
  for (const char* bad : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xE9.exe", "\xC3", "\xF4\x90\x80\x80",
                          "\xF8\x88\x80\x80\x80", "\xFF"}) {
    EXPECT_FALSE(DecodeZipEntryName(bad, true).has_value()) << bad;
  }
}
