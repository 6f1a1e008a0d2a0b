// Telling archives by their first bytes, on real files.
#include <gtest/gtest.h>

#include <string>

#include "download/ArchiveType.h"
#include "support/ScratchFolder.h"
#include "support/ZipWriter.h"

TEST(ArchiveType, DetectedByTheFirstBytes) {
  ScratchFolder folder(L"welvane-archive-type");
  struct Case {
    const wchar_t* name;
    std::string bytes;
    int type;
  };
  const Case cases[] = {
      {L"real.zip", ziptest::MakeZip({{"setup.exe", "MZ"}}), kZipArchive},
      {L"header-only.zip", std::string("PK\x03\x04", 4), kZipArchive},
      {L"archive.7z", std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8), k7zArchive},
      {L"signature-only.7z", std::string("7z\xBC\xAF\x27\x1C", 6), k7zArchive},
      {L"short.7z", std::string("7z\xBC\xAF\x27", 5), kNotArchive},
      {L"empty-archive.zip", ziptest::EmptyZip(), kNotArchive},  // starts with the end record "PK\5\6"
      {L"program.exe", std::string("MZ\x90\x00\x03\x00\x00\x00", 8), kNotArchive},
      {L"three.bin", std::string("PK\x03", 3), kNotArchive},
      {L"one.bin", "P", kNotArchive},
      {L"empty.bin", "", kNotArchive},
  };
  for (const Case& c : cases) {
    const std::wstring path = folder / c.name;
    ASSERT_TRUE(ziptest::WriteBytes(path, c.bytes));
    EXPECT_EQ(DetectArchiveType(path), c.type) << testing::PrintToString(c.bytes);
  }
  EXPECT_EQ(DetectArchiveType(folder / L"missing.zip"), kNotArchive);
  EXPECT_EQ(DetectArchiveType(folder.Path()), kNotArchive) << "a folder";
  EXPECT_EQ(DetectArchiveType(L""), kNotArchive);
}
