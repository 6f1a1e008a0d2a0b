// Unpacking real ZIP archives into real folders of the prefix.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <string>
#include <vector>

#include "download/ZipExtract.h"
#include "support/ScratchFolder.h"
#include "support/ZipWriter.h"
#include "win/Text.h"

using ziptest::Entry;

namespace {

// The unpacking's outcome, its reason kept in `error`.
bool Unpacked(const UnpackResult& result, std::wstring& error) {
  error = result.error;
  return result.ok;
}

using Tree = std::vector<std::wstring>;

std::string Utf8(const std::wstring& text) { return win::ToUtf8(text); }

// A package's folders as the installer step lays them out: the archive beside `parent`, which is
// empty and will hold the unpacking folder `out`.
struct Layout {
  explicit Layout(const wchar_t* name)
      : scratch(name), zip(scratch / L"package.zip"), parent(scratch / L"parent"), out(parent + L"\\out") {
    CreateDirectoryW(parent.c_str(), nullptr);
  }
  ScratchFolder scratch;
  std::wstring zip, parent, out;
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(ZipExtract, UnpacksNestedEntriesByteEqual) {
  Layout layout(L"welvane-zip-nested");
  const std::string program = "MZ" + ziptest::RandomBytes(5000, 1);
  std::string big;  // larger than the read buffer, half compressible and half not
  for (int i = 0; big.size() < 400000; ++i) big += "line " + std::to_string(i) + " of a text that deflate shrinks\n";
  big += ziptest::RandomBytes(300000, 2);
  const std::string inner = ziptest::MakeZip({{"inner.txt", "an archive inside the archive"}});
  // Closed on the creating thread while the writing goes on: its namesake right after it must wait.
  const std::string firstCopy = ziptest::RandomBytes(4 << 20, 3);
  ASSERT_TRUE(ziptest::WriteBytes(layout.zip, ziptest::MakeZip({
                                                  {"setup.exe", program},
                                                  {"twice.txt", firstCopy},
                                                  {"twice.txt", "the later copy replaces it"},
                                                  {"data/", ""},
                                                  {"data/big.bin", big, true},
                                                  {"data/sub/deeper/inner.zip", inner, true},
                                                  {"win\\style\\path.txt", "backslashes", false},
                                                  {"empty/", ""},
                                                  {"zero.txt", ""},
                                                  {"caf\x82.txt", "code page 437"},
                                                  {"\xE5\x90\x8D\xE5\x89\x8D.txt", "utf-8", true, 1u << 11},
                                              })));
  // `out` and its parent folders do not exist yet.
  const std::wstring out = layout.out + L"\\two\\levels";
  std::wstring error;
  ASSERT_TRUE(Unpacked(UnzipArchive(layout.zip, out), error)) << Utf8(error);

  EXPECT_EQ(TreeOf(out), (Tree{L"caf\u00e9.txt", L"data\\", L"data\\big.bin", L"data\\sub\\", L"data\\sub\\deeper\\",
                               L"data\\sub\\deeper\\inner.zip", L"empty\\", L"setup.exe", L"twice.txt", L"win\\", L"win\\style\\",
                               L"win\\style\\path.txt", L"zero.txt", L"\u540d\u524d.txt"}));
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\setup.exe"), program);
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\data\\big.bin"), big);
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\data\\sub\\deeper\\inner.zip"), inner);
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\win\\style\\path.txt"), "backslashes");
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\zero.txt"), "");
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\twice.txt"), "the later copy replaces it");
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\caf\u00e9.txt"), "code page 437");
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\\u540d\u524d.txt"), "utf-8");

  // Unpacking again replaces the files that are there.
  ASSERT_TRUE(ziptest::WriteBytes(out + L"\\setup.exe", "older and longer than the archive's copy of it"));
  ASSERT_TRUE(UnzipArchive(layout.zip, out).ok);
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\setup.exe"), program);
}

// One refused entry anywhere in the archive: nothing is written, not even the folder, and nothing
// lands beside it or where the name points.
TEST(ZipExtract, RefusedEntryWritesNothingAnywhere) {
  Layout layout(L"welvane-zip-refused");
  wchar_t rootOfCurrentDrive[MAX_PATH] = {};
  GetFullPathNameW(L"\\welvane-x.exe", MAX_PATH, rootOfCurrentDrive, nullptr);
  struct Case {
    Entry entry;
    std::vector<std::wstring> mustNotExist;  // besides anything in `parent`
  };
  const Case cases[] = {
      {{"../evil.exe", "MZ"}, {layout.parent + L"\\evil.exe"}},
      {{"..\\evil.exe", "MZ"}, {layout.parent + L"\\evil.exe"}},
      {{"a/../../x.exe", "MZ"}, {layout.parent + L"\\x.exe"}},
      {{"C:/welvane-x.exe", "MZ"}, {L"C:\\welvane-x.exe"}},
      {{"x.exe:ads", "MZ"}, {}},
      {{"nul.txt", "text"}, {}},
      {{"dir/COM1/x.exe", "MZ"}, {}},
      {{"\\welvane-x.exe", "MZ"}, {rootOfCurrentDrive}},
      {{"/welvane-x.exe", "MZ"}, {rootOfCurrentDrive}},
      {{"\xE9vil.exe", "MZ", false, 1u << 11}, {}},  // flagged UTF-8 but is not
      {{"locked.exe", "MZ", false, 1u}, {}},           // encrypted
  };
  for (const Case& c : cases) {
    // Good entries before and after the refused one: none of them may be written either.
    ASSERT_TRUE(ziptest::WriteBytes(
        layout.zip, ziptest::MakeZip({{"first.exe", "MZ first"}, {"sub/", ""}, c.entry, {"last.exe", "MZ last"}})));
    std::wstring error;
    EXPECT_FALSE(Unpacked(UnzipArchive(layout.zip, layout.out), error)) << c.entry.name;
    EXPECT_NE(error, L"") << c.entry.name;
    EXPECT_EQ(TreeOf(layout.parent), Tree{}) << c.entry.name << ": " << Utf8(error);
    for (const auto& path : c.mustNotExist) EXPECT_FALSE(Exists(path)) << Utf8(path);
  }
}

// A CRC or data error stops the unpacking and leaves no partial file of that entry.
TEST(ZipExtract, DamagedEntryLeavesNoPartialFile) {
  Layout layout(L"welvane-zip-damaged");
  const std::string data = ziptest::RandomBytes(700000, 3);
  Entry stored{"bad.exe", data, false, 0, true};
  Entry deflated{"bad.exe", data, true, 0, true};
  Entry longer{"bad.exe", data, true, 0, false, 1000};  // records 1000 bytes more than the data holds
  Entry shorter{"bad.exe", data, true, 0, false, -1000};  // and 1000 fewer: never written beyond them
  std::string garbled = ziptest::MakeZip({{"first.txt", "fine"}, {"bad.exe", std::string(500000, 'z'), true}});
  const size_t badData = 30 + 9 + 4 + 30 + 7;  // the two local headers, "first.txt" and its data, "bad.exe"
  for (size_t i = badData + 10; i < badData + 40; ++i) garbled[i] = static_cast<char>(garbled[i] ^ 0xA5);
  const struct {
    const char* what;
    std::string archive;
    const wchar_t* reason;
  } cases[] = {
      {"stored, wrong CRC", ziptest::MakeZip({{"first.txt", "fine"}, stored, {"after.txt", "never"}}), L"CRC"},
      {"deflated, wrong CRC", ziptest::MakeZip({{"first.txt", "fine"}, deflated, {"after.txt", "never"}}), L"CRC"},
      {"deflated, shorter than recorded", ziptest::MakeZip({{"first.txt", "fine"}, longer}), L"shorter"},
      {"deflated, longer than recorded", ziptest::MakeZip({{"first.txt", "fine"}, shorter}), L"CRC"},
      {"deflated, garbled data", garbled, L"bad.exe"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(ziptest::WriteBytes(layout.zip, c.archive));
    std::wstring error;
    EXPECT_FALSE(Unpacked(UnzipArchive(layout.zip, layout.out), error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::wstring::npos) << c.what << ": " << Utf8(error);
    EXPECT_EQ(TreeOf(layout.out), Tree{L"first.txt"}) << c.what << ": " << Utf8(error);
    DeleteFileW((layout.out + L"\\first.txt").c_str());
    RemoveDirectoryW(layout.out.c_str());
  }
}

// What would let a small archive fill the disk is refused before anything is written, and a stopped
// unpacking leaves no partial file.
TEST(ZipExtract, BombsOverlapsAndStopsWriteNothing) {
  Layout layout(L"welvane-zip-bombs");
  const std::string zeros(20u << 20, '\0');
  Entry second{"b.exe", "MZ shared", false};
  second.sharesPrevious = true;
  const struct {
    const char* what;
    std::string archive;
    const wchar_t* reason;
  } cases[] = {
      {"20 MiB of zeros", ziptest::MakeZip({{"first.txt", "fine"}, {"zeros.bin", zeros, true}}), L"more than 100 times"},
      {"two entries, one data", ziptest::MakeZip({{"a.exe", "MZ shared"}, second}), L"overlapping entries: a.exe, b.exe"},
      {"a size past any disk", ziptest::MakeZip({{"huge.bin", "x", false, 0, false, 0xFFFFFF00}}), L"times its size"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(ziptest::WriteBytes(layout.zip, c.archive));
    std::wstring error;
    EXPECT_FALSE(Unpacked(UnzipArchive(layout.zip, layout.out), error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::wstring::npos) << c.what << ": " << Utf8(error);
    EXPECT_EQ(TreeOf(layout.parent), Tree{}) << c.what;
  }
  const std::atomic<bool> stop{true};
  ASSERT_TRUE(ziptest::WriteBytes(layout.zip, ziptest::MakeZip({{"setup.exe", "MZ program"}})));
  const UnpackResult stopped = UnzipArchive(layout.zip, layout.out, &stop);
  EXPECT_FALSE(stopped.ok);
  EXPECT_EQ(stopped.error, L"unpacking stopped");
  EXPECT_EQ(TreeOf(layout.out), Tree{});
}

TEST(ZipExtract, UnusableArchivesAndFoldersFail) {
  Layout layout(L"welvane-zip-unusable");
  const struct {
    const char* what;
    std::string bytes;
    const wchar_t* reason;
  } archives[] = {
      {"no entries", "MZ a stub before the archive" + ziptest::EmptyZip(), L"no entries"},
      {"only an end record", ziptest::EmptyZip(), L""},  // minizip finds no archive in it
      {"not a ZIP", "PK\x03\x04 but nothing else of an archive", L"cannot open"},
      {"empty file", "", L"cannot open"},
  };
  for (const auto& c : archives) {
    ASSERT_TRUE(ziptest::WriteBytes(layout.zip, c.bytes));
    std::wstring error;
    EXPECT_FALSE(Unpacked(UnzipArchive(layout.zip, layout.out), error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::wstring::npos) << c.what << ": " << Utf8(error);
    EXPECT_EQ(TreeOf(layout.parent), Tree{}) << c.what;
  }
  EXPECT_FALSE(UnzipArchive(layout.scratch / L"missing.zip", layout.out).ok);

  // Something that is no folder stands where a folder must go: a file entry's parent, a folder
  // entry, and the file itself (a folder of that name).
  ASSERT_TRUE(CreateDirectoryW(layout.out.c_str(), nullptr));
  ASSERT_TRUE(ziptest::WriteBytes(layout.out + L"\\blocker", "a file"));
  ASSERT_TRUE(CreateDirectoryW((layout.out + L"\\setup.exe").c_str(), nullptr));
  for (const char* name : {"blocker/x.exe", "blocker/", "setup.exe"}) {
    ASSERT_TRUE(ziptest::WriteBytes(layout.zip, ziptest::MakeZip({{name, "MZ"}})));
    std::wstring error;
    EXPECT_FALSE(Unpacked(UnzipArchive(layout.zip, layout.out), error)) << name;
    EXPECT_NE(error, L"") << name;
    EXPECT_EQ(TreeOf(layout.out), (Tree{L"blocker", L"setup.exe\\"})) << name;
  }
}
