// Finding the program to start: the first *.exe of an unpacked archive, or the download itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "download/ArchiveType.h"
#include "download/InstallerFile.h"
#include "support/ScratchFolder.h"
#include "support/ZipWriter.h"

TEST(ArchiveInstaller, FirstExecutableIsAFileNamedExe) {
  ScratchFolder folder(L"welvane-first-exe");
  EXPECT_EQ(FindFirstExecutable(folder.Path()), L"") << "empty folder";
  EXPECT_EQ(FindFirstExecutable(folder / L"missing"), L"");

  ASSERT_TRUE(CreateDirectoryW((folder / L"x.exe").c_str(), nullptr));
  ASSERT_TRUE(ziptest::WriteBytes(folder / L"readme.txt", "text"));
  ASSERT_TRUE(ziptest::WriteBytes(folder / L"setup.exe.txt", "text"));
  EXPECT_EQ(FindFirstExecutable(folder.Path()), L"") << "a folder named x.exe is no program";

  ASSERT_TRUE(ziptest::WriteBytes(folder / L"Setup.EXE", "MZ"));
  EXPECT_EQ(FindFirstExecutable(folder.Path()), L"Setup.EXE");
  EXPECT_EQ(FindFirstExecutable(folder.Path() + L"\\"), L"Setup.EXE") << "folder given with a trailing separator";
}

TEST(ArchiveInstaller, UnpackedInstallerOrTheDownloadItself) {
  ScratchFolder scratch(L"welvane-prepare");
  const std::wstring zip = scratch / L"offer.zip";
  const std::wstring out = scratch / L"unpacked";
  auto prepare = [&](const std::string& archive, int type = kZipArchive) {
    std::filesystem::remove_all(out);
    EXPECT_TRUE(ziptest::WriteBytes(zip, archive));
    return PrepareInstaller(zip, type, out);
  };

  EXPECT_EQ(prepare(ziptest::MakeZip({{"tools/helper.dll", "dll"}, {"setup.exe", "MZ", true}})), out + L"\\setup.exe");
  EXPECT_EQ(ziptest::ReadBytes(out + L"\\setup.exe"), "MZ");

  // Fallbacks: the downloaded file is started itself.
  EXPECT_EQ(prepare("PK\x03\x04 and then no archive at all"), zip) << "bad archive";
  EXPECT_EQ(prepare(ziptest::MakeZip({{"readme.txt", "no program here"}, {"bin.exe/", ""}})), zip) << "no exe";
  EXPECT_EQ(prepare(ziptest::MakeZip({{"setup.exe", "MZ"}, {"../evil.exe", "MZ"}})), zip) << "refused entry";
  // The program was unpacked, but a later entry failed: the archive counts as not unpacked.
  EXPECT_EQ(prepare(ziptest::MakeZip({{"setup.exe", "MZ"}, {"data.bin", "data", false, 0, true}})), zip) << "CRC error";

  // Other types are not unpacked.
  EXPECT_EQ(prepare(ziptest::MakeZip({{"setup.exe", "MZ"}}), k7zArchive), zip);
  EXPECT_EQ(prepare(ziptest::MakeZip({{"setup.exe", "MZ"}}), kNotArchive), zip);
  EXPECT_EQ(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES);
}
